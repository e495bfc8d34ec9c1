#include "gpu_resource_widget.h"

#include "gpu_buffer_list_widget.h"
#include "texture_list_widget.h"

#include <QHBoxLayout>
#include <QTabWidget>

CQGPUResourceWidget::CQGPUResourceWidget(QWidget *pParent) : QWidget(pParent)
{
    setWindowTitle(tr("GPU Resources"));
    auto *pLayout = new QHBoxLayout(this);
    m_pTabs = new QTabWidget(this);
    pLayout->addWidget(m_pTabs);
    m_pTextureList = new CQTextureListWidget(this);
    m_pBufferList = new CQGPUBufferListWidget(this);
    m_pTabs->addTab(m_pTextureList, tr("Textures"));
    m_pTabs->addTab(m_pBufferList, tr("GPU Buffers"));
    resize(1000, 1000);
}
