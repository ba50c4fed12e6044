#pragma once

#include "http/HttpForm.h"
#include "platform/kernel/WinTypes.h"

#include <cstdint>
#include <string>

class IFileTransferEvent;

class HttpPoster
{
public:
    // Transfer state word: one of these values, plus kComplete once every file byte went out.
    enum : DWORD
    {
        kStarting = 0,
        kGoing = 1,
        kCancelled = 4,
        kFailed = 8,
        kComplete = 16
    };

    HttpPoster() = default;
    virtual ~HttpPoster() = default;
    HttpPoster(const HttpPoster&) = delete;
    HttpPoster& operator=(const HttpPoster&) = delete;

    virtual void SetUrl(const std::u16string& url) = 0;

    void SetEventSink(IFileTransferEvent* sink) { m_sink = sink; }
    HttpForm& GetForm() { return m_form; }
    uint32_t GetSpeed() const { return m_speed; }
    uint32_t GetFileSize() const { return m_fileSize; }
    uint32_t GetBytesSent() const { return m_bytesSent; }
    int GetItemId() const { return m_itemId; }

protected:
    IFileTransferEvent* m_sink = nullptr;
    DWORD m_state = kStarting;
    int m_errorCode = 0;
    HttpForm m_form;
    uint32_t m_speed = 0;
    uint32_t m_fileSize = 0;
    uint32_t m_bytesSent = 0;
    int m_itemId = -1;
};
