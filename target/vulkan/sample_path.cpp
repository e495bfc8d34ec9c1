#include "sample_path.h"

namespace {

// A '/' inside a label would split it.
void AppendPart(std::string &sPath, const std::string &sPart)
{
    for (char c : sPart)
        sPath += c == '/' ? '|' : c;
}

std::string Join(const std::string &sView, const std::string &sLayer, const std::string &sContext)
{
    std::string sPath = "#";
    AppendPart(sPath, sView);
    sPath += '/';
    AppendPart(sPath, sLayer);
    sPath += '/';
    AppendPart(sPath, sContext);
    return sPath;
}

} // namespace

std::string SamplePath(const std::vector<std::string> &labels, unsigned nRenderPass, const char *pszCommand)
{
    if (labels.empty())
        return nRenderPass ? Join("Render Pass " + std::to_string(nRenderPass), "", pszCommand) : std::string(pszCommand);
    return Join(labels.front(), labels.size() >= 2 ? labels[1] : std::string(), labels.back());
}

std::string PrefixSamplePath(const std::vector<std::string> &outerLabels, const std::string &sPath)
{
    if (outerLabels.empty())
        return sPath;
    // The secondary's own parts: view, layer and context of a path, or a plain command name.
    std::string parts[3];
    if (sPath.empty() || sPath[0] != '#') {
        parts[2] = sPath;
    } else {
        size_t nPart = 0;
        for (size_t i = 1; i < sPath.size(); ++i) {
            if (sPath[i] == '/' && nPart < 2)
                ++nPart;
            else
                parts[nPart] += sPath[i];
        }
    }
    // Work the secondary did not label keeps its command as the context under the primary's
    // labels; labeled work keeps its innermost label, and its outer one where the primary has
    // no second label.
    const bool bOwnLabels = !sPath.empty() && sPath[0] == '#' && sPath.rfind("#Render Pass ", 0) != 0;
    const std::string sLayer = outerLabels.size() >= 2 ? outerLabels[1] : bOwnLabels ? parts[0] : std::string();
    return Join(outerLabels.front(), sLayer, parts[2]);
}
