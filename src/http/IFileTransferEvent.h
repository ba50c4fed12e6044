#pragma once

#include <cstdint>
#include <string>

// What a poster tells its owner about one upload. Every call comes on the poster's worker
// thread with no lock held.
class IFileTransferEvent
{
public:
    virtual void OnTransferComplete(int itemId) = 0;
    virtual void OnTransferError(int itemId, int errorCode) = 0;
    virtual void OnTransferProgress(int itemId, uint32_t bytesSent, std::u16string speedText) = 0;
    virtual void OnTransferReserved(int32_t value) = 0;

protected:
    ~IFileTransferEvent() = default;
};
