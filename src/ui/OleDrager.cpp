#include "ui/OleDrager.h"

OleDrager::OleDrager() : dropSource(new IDropSourceImpl) {}

OleDrager::~OleDrager()
{
    dropSource->Release();
}

void OleDrager::Arm(CustomDataObject* data)
{
    armed = 1;
    m_data = data;
}

void OleDrager::Disarm()
{
    armed = 0;
}

HRESULT OleDrager::DoDrag()
{
    DWORD effect = DROPEFFECT_NONE;
    HRESULT result = m_data ? DoDragDrop(m_data, dropSource, DROPEFFECT_COPY, &effect) : E_UNEXPECTED;
    armed = 0;
    return result;
}
