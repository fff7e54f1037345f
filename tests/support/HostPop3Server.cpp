#include "HostPop3Server.h"

#include <cctype>

#include <ws2tcpip.h>

#include <cstdlib>
#include <set>

namespace {

bool SendText(SOCKET socket, const std::string& text) {
    size_t sent = 0;
    while (sent < text.size()) {
        int n = send(socket, text.data() + sent, static_cast<int>(text.size() - sent), 0);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

std::string DotStuffed(const std::string& content) {
    std::string out;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find("\r\n", start);
        std::string line = content.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line[0] == '.') {
            out += '.';
        }
        out += line + "\r\n";
        start = end == std::string::npos ? content.size() : end + 2;
    }
    return out + ".\r\n";
}

}  // namespace

bool HostPop3Server::Start() {
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) {
        return false;
    }
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 4) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(listener_);
        listener_ = INVALID_SOCKET;
        return false;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void HostPop3Server::Stop() {
    if (listener_ != INVALID_SOCKET) {
        closesocket(listener_);  // ends accept()
        listener_ = INVALID_SOCKET;
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::vector<std::string> HostPop3Server::Commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

std::vector<HostPop3Message> HostPop3Server::Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

void HostPop3Server::Serve() {
    for (;;) {
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) {
            return;
        }
        Session(client);
        closesocket(client);
    }
}

void HostPop3Server::Session(SOCKET client) {
    std::vector<HostPop3Message> messages = Messages();
    std::set<size_t> deleted;
    bool user = false, authorised = false;
    std::string pending;
    SendText(client, "+OK test server ready\r\n");
    for (;;) {
        size_t end;
        while ((end = pending.find("\r\n")) == std::string::npos) {
            char chunk[1024];
            int got = recv(client, chunk, sizeof chunk, 0);
            if (got <= 0) {
                return;  // dropped without QUIT: nothing is deleted
            }
            pending.append(chunk, static_cast<size_t>(got));
        }
        std::string line = pending.substr(0, end);
        pending.erase(0, end + 2);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            commands_.push_back(line);
        }
        // Verbs are case-insensitive (the plug-in sends them in lower case).
        std::string verb = line.substr(0, line.find(' '));
        for (char& c : verb) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        std::string arg = line.size() > verb.size() ? line.substr(verb.size() + 1) : std::string();
        size_t n = static_cast<size_t>(std::atoi(arg.c_str()));
        bool valid = n >= 1 && n <= messages.size() && !deleted.count(n);
        if (verb == "QUIT") {
            if (authorised) {
                std::lock_guard<std::mutex> lock(mutex_);
                std::vector<HostPop3Message> kept;
                for (size_t i = 0; i < messages.size(); ++i) {
                    if (!deleted.count(i + 1)) {
                        kept.push_back(messages[i]);
                    }
                }
                messages_ = kept;
            }
            SendText(client, "+OK bye\r\n");
            return;
        }
        if (!authorised) {
            if (verb == "USER") {
                user = arg == user_;
                SendText(client, "+OK\r\n");
            } else if (verb == "PASS" && user && arg == password_) {
                authorised = true;
                SendText(client, "+OK logged in\r\n");
            } else {
                SendText(client, "-ERR no\r\n");
            }
            continue;
        }
        if (verb == "STAT") {
            SendText(client, "+OK " + std::to_string(messages.size() - deleted.size()) + " 0\r\n");
        } else if ((verb == "LIST" || (verb == "UIDL" && !noUidl)) && !arg.empty()) {
            if (valid) {
                SendText(client, "+OK " + std::to_string(n) + " " +
                                     (verb == "LIST" ? std::to_string(messages[n - 1].content.size())
                                                     : messages[n - 1].uidl) + "\r\n");
            } else {
                SendText(client, "-ERR no such message\r\n");
            }
        } else if (verb == "TOP" && valid) {
            // The header block and as many body lines as asked for.
            size_t lines = static_cast<size_t>(std::atoi(arg.substr(arg.find(' ') + 1).c_str()));
            const std::string& content = messages[n - 1].content;
            size_t end = content.find("\r\n\r\n");
            end = end == std::string::npos ? content.size() : end + 4;
            for (size_t i = 0; i < lines && end < content.size(); ++i) {
                size_t next = content.find("\r\n", end);
                end = next == std::string::npos ? content.size() : next + 2;
            }
            SendText(client, "+OK\r\n" + DotStuffed(content.substr(0, end)));
        } else if (verb == "LIST" || (verb == "UIDL" && !noUidl)) {
            std::string answer = "+OK\r\n";
            for (size_t i = 0; i < messages.size(); ++i) {
                if (!deleted.count(i + 1)) {
                    answer += std::to_string(i + 1) + " " +
                              (verb == "LIST" ? std::to_string(messages[i].content.size()) : messages[i].uidl) + "\r\n";
                }
            }
            SendText(client, answer + ".\r\n");
        } else if (verb == "RETR" && valid) {
            SendText(client, "+OK\r\n" + DotStuffed(messages[n - 1].content));
        } else if (verb == "DELE" && valid) {
            deleted.insert(n);
            SendText(client, "+OK deleted\r\n");
        } else if (verb == "NOOP" || verb == "RSET") {
            if (verb == "RSET") {
                deleted.clear();
            }
            SendText(client, "+OK\r\n");
        } else {
            SendText(client, "-ERR\r\n");
        }
    }
}
