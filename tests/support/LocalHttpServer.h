#pragma once
// A minimal HTTP/1.0 server on 127.0.0.1 for download tests, answering from
// a table of paths; it never talks to any other address.

#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Paths map to a status and a body; a path mapped to status 0 is accepted
// and never answered. Unknown paths get 404.
class CLocalHttpServer {
public:
    explicit CLocalHttpServer(std::map<std::string, std::pair<int, std::string>> answers)
        : Answers(std::move(answers))
    {
        Listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(Listener, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            listen(Listener, 8) == 0 &&
            getsockname(Listener, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            Port = ntohs(address.sin_port);
        Worker = std::thread([this] { Serve(); });
    }
    ~CLocalHttpServer()
    {
        Stop = true;
        Worker.join();
        close(Listener);
    }
    QString Url(const QString& target) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(Port).arg(target);
    }

private:
    void Serve()
    {
        std::vector<int> silent;
        while (!Stop) {
            pollfd wait{Listener, POLLIN, 0};
            if (poll(&wait, 1, 20) <= 0)
                continue;
            const int client = accept(Listener, nullptr, nullptr);
            if (client < 0)
                continue;
            std::string request;
            char buffer[1024];
            while (request.find("\r\n\r\n") == std::string::npos) {
                pollfd in{client, POLLIN, 0};
                const ssize_t got =
                    poll(&in, 1, 2000) > 0 ? recv(client, buffer, sizeof buffer, 0) : 0;
                if (got <= 0)
                    break;
                request.append(buffer, static_cast<std::size_t>(got));
            }
            const std::size_t start = request.find(' ') + 1;
            std::string path = request.substr(start, request.find(' ', start) - start);
            path = path.substr(0, path.find('?'));
            const auto found = Answers.find(path);
            const auto [status, body] =
                found != Answers.end() ? found->second : std::pair<int, std::string>(404, "gone");
            if (status == 0) {
                silent.push_back(client);
                continue;
            }
            const std::string reply = "HTTP/1.0 " + std::to_string(status) +
                                      " X\r\nContent-Length: " + std::to_string(body.size()) +
                                      "\r\nConnection: close\r\n\r\n" + body;
            for (std::size_t sent = 0; sent < reply.size();) {
                const ssize_t n =
                    send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                if (n <= 0)
                    break;  // the client stopped reading at its limit
                sent += static_cast<std::size_t>(n);
            }
            close(client);
        }
        for (int client : silent)
            close(client);
    }

    std::map<std::string, std::pair<int, std::string>> Answers;
    int Listener = -1;
    int Port = 0;
    std::atomic<bool> Stop{false};
    std::thread Worker;
};
