#pragma once
// The GPU resource window: a top-level window with the texture list and the buffer list as
// tabs. The device window feeds both lists and connects their refresh requests.

#include <QWidget>

class CQGPUBufferListWidget;
class CQTextureListWidget;
class QTabWidget;

class CQGPUResourceWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CQGPUResourceWidget(QWidget *pParent = nullptr);

    CQGPUBufferListWidget *BufferList() const { return m_pBufferList; }
    CQTextureListWidget *TextureList() const { return m_pTextureList; }
    QTabWidget *Tabs() const { return m_pTabs; }

private:
    // Both owned through parenting.
    CQGPUBufferListWidget *m_pBufferList = nullptr;
    CQTextureListWidget *m_pTextureList = nullptr;
    QTabWidget *m_pTabs = nullptr;
};
