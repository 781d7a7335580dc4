// A small HTTP server of the tests' own on 127.0.0.1, on a port the system picks. Every
// connection runs on its own thread, so one that hangs never holds up another; a handler decides
// per request what goes back, byte for byte. One request per connection: the reply ends it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace lumivex::test {

// A request as it arrived: the target exactly as sent (path and query, or whatever the client
// put there), and the header lines in order.
struct HttpRequest {
    std::string method;
    std::string target;
    std::string version; // "HTTP/1.0", "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;

    // The first header of that name (any letter case), empty when there is none.
    std::string Header(std::string_view name) const;
};

// One complete answer: status line with a reason, the given header lines ("Name: value"),
// "Content-Length" unless `withLength` is false (the body then ends where the connection does),
// "Connection: close", and the body.
std::string HttpResponse(int status, std::string_view body,
                         const std::vector<std::string>& headers = {}, bool withLength = true);

// The client side of one connection as a handler sees it. Every call returns promptly once the
// server stops.
class HttpConnection {
public:
    // Sends all of `bytes`; false when the client has gone or the server stops.
    bool Send(std::string_view bytes);
    bool Reply(int status, std::string_view body, const std::vector<std::string>& headers = {},
               bool withLength = true) {
        return Send(HttpResponse(status, body, headers, withLength));
    }
    // Ends the connection now, even in the middle of a body.
    void Close();
    // Answers nothing: blocks until the client goes or the server stops.
    void Hang();
    bool stopping() const { return m_stop.load(); }

private:
    friend class LoopbackHttpServer;
    HttpConnection(std::uintptr_t socket, const std::atomic<bool>& stop)
        : m_socket(socket), m_stop(stop) {}

    std::uintptr_t m_socket;
    const std::atomic<bool>& m_stop;
};

using HttpHandler = std::function<void(const HttpRequest&, HttpConnection&)>;

class LoopbackHttpServer {
public:
    // Listens at once; the test fails (and port() is 0) when it cannot.
    explicit LoopbackHttpServer(HttpHandler handler);
    // Stops listening, ends every connection and waits for every thread.
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    unsigned short port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by `path`.
    std::wstring Url(const std::wstring& path = L"/") const;

    // Every request so far, in the order they arrived.
    std::vector<HttpRequest> Requests() const;
    // Requests whose target is exactly `target`.
    int CountRequests(const std::string& target) const;
    int RequestCount() const;
    // Connections accepted so far, with or without a complete request.
    int ConnectionCount() const { return m_connections.load(); }

private:
    void AcceptLoop();
    void Serve(std::uintptr_t socket);

    HttpHandler m_handler;
    std::uintptr_t m_listener;
    bool m_winsock = false; // WSAStartup worked, so WSACleanup is owed
    unsigned short m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    mutable std::mutex m_lock; // guards m_requests and m_workers
    std::vector<HttpRequest> m_requests;
    std::vector<std::thread> m_workers;
    std::thread m_acceptor;
};

} // namespace lumivex::test
