#include "tri_state_check_box.h"

CQTriStateCheckBox::CQTriStateCheckBox(const QString &text, QWidget *pParent) : QCheckBox(text, pParent) {}

void CQTriStateCheckBox::nextCheckState()
{
    // Qt numbers the states unchecked 0, partially checked 1, checked 2; a click moves one on.
    // Setting the state (rather than toggling) emits stateChanged as a user's click does.
    setCheckState(Qt::CheckState((int(checkState()) + 1) % 3));
}
