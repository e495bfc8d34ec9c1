#pragma once
// A check box whose clicks cycle through all three states: partially checked (either way),
// checked (must be set), unchecked (must be clear), and round again.

#include <QCheckBox>

class CQTriStateCheckBox : public QCheckBox
{
    Q_OBJECT

public:
    explicit CQTriStateCheckBox(const QString &text, QWidget *pParent = nullptr);

protected:
    void nextCheckState() override;
};
