#include "ui/OleDrager.h"

OleDrager::OleDrager() : source_(new IDropSourceImpl) {}

OleDrager::~OleDrager()
{
    source_->Release();
}

void OleDrager::Arm(CustomDataObject* data)
{
    armed_ = 1;
    data_ = data;
}

void OleDrager::Disarm()
{
    armed_ = 0;
}

HRESULT OleDrager::DoDrag()
{
    DWORD effect = DROPEFFECT_NONE;
    HRESULT result = data_ ? DoDragDrop(data_, source_, DROPEFFECT_COPY, &effect) : E_UNEXPECTED;
    armed_ = 0;
    return result;
}
