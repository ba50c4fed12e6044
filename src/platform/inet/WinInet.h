#pragma once

#include "platform/kernel/WinTypes.h"

// The WinINet calls an upload makes, over libcurl. Handles may be closed from any thread: a
// call blocked on a request that another thread closes returns FALSE at once
// (ERROR_INTERNET_OPERATION_CANCELLED). Nothing is cached and no cookies are sent; proxies come
// from http_proxy, https_proxy and no_proxy; SSL_CERT_FILE replaces the trusted CA bundle.

using HINTERNET = void*;
using INTERNET_PORT = WORD;

#define INTERNET_OPEN_TYPE_PRECONFIG 0
#define INTERNET_SERVICE_HTTP 3
#define INTERNET_DEFAULT_HTTP_PORT 80
#define INTERNET_DEFAULT_HTTPS_PORT 443

#define INTERNET_FLAG_SECURE 0x00800000u
#define INTERNET_FLAG_IGNORE_CERT_CN_INVALID 0x00001000u
#define INTERNET_FLAG_IGNORE_CERT_DATE_INVALID 0x00002000u
#define INTERNET_FLAG_NO_CACHE_WRITE 0x04000000u

#define HTTP_QUERY_STATUS_CODE 19u
#define HTTP_QUERY_RAW_HEADERS_CRLF 22u
#define HTTP_QUERY_FLAG_NUMBER 0x20000000u

// Milliseconds. Connect bounds name lookup, TCP and TLS set-up; send and receive bound how
// long a transfer may make no progress at all. Default 30000 each; a null handle sets the
// process default.
#define INTERNET_OPTION_CONNECT_TIMEOUT 2u
#define INTERNET_OPTION_SEND_TIMEOUT 5u
#define INTERNET_OPTION_RECEIVE_TIMEOUT 6u

#define ERROR_INTERNET_TIMEOUT 12002
#define ERROR_INTERNET_INTERNAL_ERROR 12004
#define ERROR_INTERNET_INVALID_URL 12005
#define ERROR_INTERNET_NAME_NOT_RESOLVED 12007
#define ERROR_INTERNET_OPERATION_CANCELLED 12017
#define ERROR_INTERNET_INCORRECT_HANDLE_TYPE 12018
#define ERROR_INTERNET_INCORRECT_HANDLE_STATE 12019
#define ERROR_INTERNET_CANNOT_CONNECT 12029
#define ERROR_INTERNET_CONNECTION_ABORTED 12030
#define ERROR_INTERNET_CONNECTION_RESET 12031
#define ERROR_INTERNET_INVALID_CA 12045
#define ERROR_HTTP_HEADER_NOT_FOUND 12150
#define ERROR_HTTP_INVALID_SERVER_RESPONSE 12152
#define ERROR_HTTP_REDIRECT_FAILED 12156
#define ERROR_INTERNET_SECURITY_CHANNEL_ERROR 12157

struct INTERNET_BUFFERSW
{
    DWORD dwStructSize;
    INTERNET_BUFFERSW* Next;
    LPCWSTR lpcszHeader;
    DWORD dwHeadersLength; // characters; (DWORD)-1 for a terminated string
    DWORD dwHeadersTotal;
    LPVOID lpvBuffer;
    DWORD dwBufferLength;
    DWORD dwBufferTotal; // the announced body length
    DWORD dwOffsetLow;
    DWORD dwOffsetHigh;
};

HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass, DWORD flags);
HINTERNET InternetConnectW(HINTERNET internet, LPCWSTR serverName, INTERNET_PORT port, LPCWSTR userName,
                           LPCWSTR password, DWORD service, DWORD flags, DWORD_PTR context);
HINTERNET HttpOpenRequestW(HINTERNET connect, LPCWSTR verb, LPCWSTR objectName, LPCWSTR version,
                           LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags, DWORD_PTR context);
// Starts the request and returns without waiting; a connection that fails fails the first write.
BOOL HttpSendRequestExW(HINTERNET request, INTERNET_BUFFERSW* buffersIn, INTERNET_BUFFERSW* buffersOut,
                        DWORD flags, DWORD_PTR context);
// Returns once the bytes are queued for the network (at most 64 KiB are ever queued).
BOOL InternetWriteFile(HINTERNET file, LPCVOID buffer, DWORD count, DWORD* written);
// Waits for the final answer's headers (redirects 301, 302 and 303 are followed as GET; 307
// and 308 are final answers). They must be complete within 60 s of the call
// (PICTAVO_ANSWER_DEADLINE_MS, milliseconds, sets another limit for the process).
BOOL HttpEndRequestW(HINTERNET request, INTERNET_BUFFERSW* buffersOut, DWORD flags, DWORD_PTR context);
BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD count, DWORD* read);
// lengthInOut is in bytes; on ERROR_INSUFFICIENT_BUFFER it receives the size needed.
BOOL HttpQueryInfoW(HINTERNET request, DWORD infoLevel, LPVOID buffer, DWORD* lengthInOut, DWORD* index);
BOOL InternetSetOptionW(HINTERNET internet, DWORD option, LPVOID buffer, DWORD length);
BOOL InternetCloseHandle(HINTERNET internet);
