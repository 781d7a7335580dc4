#include "loopback_http_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <cctype>

namespace lumivex::test {

namespace {

// Every wait is cut into ticks of this length, so a stop is seen within one tick and no socket
// is ever closed under a call on another thread.
constexpr long kTickUs = 50 * 1000;
constexpr size_t kMaxHead = 64 * 1024;
// How long a connection is kept after its reply for the client to read the rest and close.
constexpr DWORD kLingerMs = 2000;

enum class Ready { Yes, No, Failed };

Ready WaitFor(SOCKET socket, bool write) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval tick = {0, kTickUs};
    const int n = select(0, write ? nullptr : &set, write ? &set : nullptr, nullptr, &tick);
    return n > 0 ? Ready::Yes : (n == 0 ? Ready::No : Ready::Failed);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

const char* Reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 407:
        return "Proxy Authentication Required";
    case 408:
        return "Request Timeout";
    case 500:
        return "Internal Server Error";
    case 504:
        return "Gateway Timeout";
    default:
        return "Status";
    }
}

// The request line and header lines of `head` (without its blank line); false when the request
// line is not "METHOD TARGET VERSION".
bool ParseHead(const std::string& head, HttpRequest& request) {
    size_t start = 0;
    bool first = true;
    while (start < head.size()) {
        size_t end = head.find("\r\n", start);
        if (end == std::string::npos) {
            end = head.size();
        }
        const std::string line = head.substr(start, end - start);
        start = end + 2;
        if (first) {
            const size_t a = line.find(' ');
            const size_t b = a == std::string::npos ? a : line.find(' ', a + 1);
            if (b == std::string::npos) {
                return false;
            }
            request.method = line.substr(0, a);
            request.target = line.substr(a + 1, b - a - 1);
            request.version = line.substr(b + 1);
            first = false;
            continue;
        }
        const size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        size_t value = colon + 1;
        while (value < line.size() && line[value] == ' ') {
            ++value;
        }
        request.headers.emplace_back(line.substr(0, colon), line.substr(value));
    }
    return !first;
}

} // namespace

std::string HttpRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (EqualNoCase(key, name)) {
            return value;
        }
    }
    return {};
}

std::string HttpResponse(int status, std::string_view body, const std::vector<std::string>& headers,
                         bool withLength) {
    std::string reply = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
    for (const std::string& header : headers) {
        reply += header + "\r\n";
    }
    if (withLength) {
        reply += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    reply += "Connection: close\r\n\r\n";
    reply.append(body);
    return reply;
}

bool HttpConnection::Send(std::string_view bytes) {
    const SOCKET socket = static_cast<SOCKET>(m_socket);
    while (!bytes.empty()) {
        if (socket == INVALID_SOCKET || m_stop.load()) {
            return false;
        }
        const int sent = ::send(socket, bytes.data(), static_cast<int>(bytes.size()), 0);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<size_t>(sent));
        } else if (WSAGetLastError() != WSAEWOULDBLOCK || WaitFor(socket, true) == Ready::Failed) {
            return false;
        }
    }
    return true;
}

void HttpConnection::Close() {
    const SOCKET socket = static_cast<SOCKET>(m_socket);
    if (socket != INVALID_SOCKET) {
        shutdown(socket, SD_BOTH);
        closesocket(socket);
        m_socket = static_cast<std::uintptr_t>(INVALID_SOCKET);
    }
}

void HttpConnection::Hang() {
    const SOCKET socket = static_cast<SOCKET>(m_socket);
    char sink[4096];
    while (socket != INVALID_SOCKET && !m_stop.load()) {
        const Ready ready = WaitFor(socket, false);
        if (ready == Ready::Failed) {
            return;
        }
        if (ready == Ready::Yes) {
            const int got = recv(socket, sink, sizeof(sink), 0);
            if (got == 0 || (got < 0 && WSAGetLastError() != WSAEWOULDBLOCK)) {
                return; // the client has gone
            }
        }
    }
}

LoopbackHttpServer::LoopbackHttpServer(HttpHandler handler)
    : m_handler(std::move(handler)), m_listener(static_cast<std::uintptr_t>(INVALID_SOCKET)) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        ADD_FAILURE() << "WSAStartup failed";
        return;
    }
    m_winsock = true;
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0; // the system's choice, never a well-known port
    int length = sizeof(address);
    u_long nonBlocking = 1;
    if (listener == INVALID_SOCKET ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener, SOMAXCONN) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ioctlsocket(listener, FIONBIO, &nonBlocking) != 0) {
        ADD_FAILURE() << "cannot listen on 127.0.0.1: error " << WSAGetLastError();
        if (listener != INVALID_SOCKET) {
            closesocket(listener);
        }
        return;
    }
    m_listener = static_cast<std::uintptr_t>(listener);
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { AcceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    m_stop = true;
    if (m_acceptor.joinable()) {
        m_acceptor.join();
    }
    if (static_cast<SOCKET>(m_listener) != INVALID_SOCKET) {
        closesocket(static_cast<SOCKET>(m_listener));
    }
    // The acceptor has ended, so no worker is added any more.
    for (std::thread& worker : m_workers) {
        worker.join();
    }
    if (m_winsock) {
        WSACleanup();
    }
}

std::wstring LoopbackHttpServer::Url(const std::wstring& path) const {
    return L"http://127.0.0.1:" + std::to_wstring(m_port) + path;
}

std::vector<HttpRequest> LoopbackHttpServer::Requests() const {
    std::lock_guard lock(m_lock);
    return m_requests;
}

int LoopbackHttpServer::CountRequests(const std::string& target) const {
    std::lock_guard lock(m_lock);
    int count = 0;
    for (const HttpRequest& request : m_requests) {
        count += request.target == target ? 1 : 0;
    }
    return count;
}

int LoopbackHttpServer::RequestCount() const {
    std::lock_guard lock(m_lock);
    return static_cast<int>(m_requests.size());
}

void LoopbackHttpServer::AcceptLoop() {
    const SOCKET listener = static_cast<SOCKET>(m_listener);
    while (!m_stop.load()) {
        if (WaitFor(listener, false) != Ready::Yes) {
            continue;
        }
        const SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) {
            continue;
        }
        u_long nonBlocking = 1;
        ioctlsocket(client, FIONBIO, &nonBlocking);
        ++m_connections;
        std::lock_guard lock(m_lock);
        m_workers.emplace_back([this, client] { Serve(static_cast<std::uintptr_t>(client)); });
    }
}

void LoopbackHttpServer::Serve(std::uintptr_t rawSocket) {
    const SOCKET socket = static_cast<SOCKET>(rawSocket);
    HttpConnection connection(rawSocket, m_stop);
    std::string head;
    char buffer[4096];
    size_t end = std::string::npos;
    while (end == std::string::npos && head.size() < kMaxHead && !m_stop.load()) {
        const Ready ready = WaitFor(socket, false);
        if (ready == Ready::Failed) {
            break;
        }
        if (ready == Ready::No) {
            continue;
        }
        const int got = recv(socket, buffer, sizeof(buffer), 0);
        if (got <= 0) {
            break;
        }
        head.append(buffer, static_cast<size_t>(got));
        end = head.find("\r\n\r\n");
    }
    HttpRequest request;
    if (end != std::string::npos && ParseHead(head.substr(0, end), request)) {
        {
            std::lock_guard lock(m_lock);
            m_requests.push_back(request);
        }
        m_handler(request, connection);
    }
    // Let the client read to the end and close first: closing with its data unread could reset
    // the connection under the reply.
    if (static_cast<SOCKET>(connection.m_socket) != INVALID_SOCKET) {
        shutdown(socket, SD_SEND);
        const DWORD started = GetTickCount();
        while (!m_stop.load() && GetTickCount() - started < kLingerMs) {
            const Ready ready = WaitFor(socket, false);
            if (ready == Ready::Failed ||
                (ready == Ready::Yes && recv(socket, buffer, sizeof(buffer), 0) <= 0)) {
                break;
            }
        }
        connection.Close();
    }
}

} // namespace lumivex::test
