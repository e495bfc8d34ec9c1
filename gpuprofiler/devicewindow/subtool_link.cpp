#include "subtool_link.h"

namespace {
constinit SubToolLink s_Link{nullptr, nullptr};
}

void SetSubToolLink(const SubToolLink &link)
{
    s_Link = link;
}

const SubToolLink &GetSubToolLink()
{
    return s_Link;
}
