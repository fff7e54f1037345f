#include "Pop3Client.h"

#include <ws2tcpip.h>

#include <cstring>

bool Pop3Client::Connect(const std::string& host, int port, int timeoutMs) {
    Close();
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = inet_addr(host.c_str());
    if (address.sin_addr.s_addr == INADDR_NONE) {
        hostent* entry = gethostbyname(host.c_str());
        if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list[0]) {
            return false;
        }
        std::memcpy(&address.sin_addr, entry->h_addr_list[0], sizeof address.sin_addr);
    }
    timeoutMs_ = timeoutMs;
    socket_.Reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!socket_) {
        return false;
    }
    DWORD timeout = static_cast<DWORD>(timeoutMs);
    setsockopt(socket_.Get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    setsockopt(socket_.Get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    if (connect(socket_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        Close();
        return false;
    }
    return true;
}

void Pop3Client::Close() {
    if (tls_.Established()) {
        tls_.Shutdown();
    }
    socket_.Reset();
    pending_.clear();
}

bool Pop3Client::SendAll(const char* bytes, std::size_t length) {
    while (length > 0) {
        int n = send(socket_.Get(), bytes, static_cast<int>(length), 0);
        if (n <= 0) {
            return false;
        }
        bytes += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

int Pop3Client::ReceiveSome(char* data, std::size_t room) {
    int got = recv(socket_.Get(), data, static_cast<int>(room), 0);
    return got >= 0 ? got : -1;
}

TlsFailure Pop3Client::StartTls(const std::string& serverName) {
    if (!socket_) {
        return TlsFailure::kClosed;
    }
    if (!pending_.empty()) {
        return TlsFailure::kPlainTextPeer;
    }
    return tls_.Handshake(this, serverName.c_str(), static_cast<DWORD>(timeoutMs_));
}

bool Pop3Client::CheckCertificate(const std::string& serverName, CertificateReport* report) const {
    UniqueCertificate certificate = tls_.ServerCertificate();
    if (!certificate || !tls_.Api()) {
        *report = CertificateReport();
        report->problems = kCertOtherFault;
        return false;
    }
    return CheckServerCertificate(*tls_.Api(), certificate.Get().context, serverName.c_str(), report);
}

bool Pop3Client::Fill() {
    if (!socket_) {
        return false;
    }
    char chunk[16 * 1024];
    int got = tls_.Established() ? tls_.Receive(chunk, sizeof chunk) : ReceiveSome(chunk, sizeof chunk);
    if (got <= 0) {
        return false;
    }
    pending_.append(chunk, static_cast<size_t>(got));
    return true;
}

bool Pop3Client::ReadLine(std::string* line) {
    size_t searched = 0;
    for (;;) {
        size_t end = pending_.find('\n', searched);
        if (end != std::string::npos) {
            *line = pending_.substr(0, end);
            if (!line->empty() && line->back() == '\r') {
                line->pop_back();
            }
            pending_.erase(0, end + 1);
            return true;
        }
        searched = pending_.size();
        if (!Fill()) {
            return false;
        }
    }
}

bool Pop3Client::ReadGreeting(std::string* status) {
    return ReadLine(status) && status->compare(0, 3, "+OK") == 0;
}

bool Pop3Client::Command(const std::string& command, std::string* status) {
    std::string wire = command + "\r\n";
    if (!socket_ || !(tls_.Established() ? tls_.Send(wire.data(), wire.size()) : SendAll(wire.data(), wire.size()))) {
        return false;
    }
    std::string line;
    if (!ReadLine(&line)) {
        return false;
    }
    if (status) {
        *status = line;
    }
    return line.compare(0, 3, "+OK") == 0;
}

bool Pop3Client::ReadMultiLine(std::string* data) {
    data->clear();
    std::string line;
    while (ReadLine(&line)) {
        if (line == ".") {
            return true;
        }
        if (!line.empty() && line[0] == '.') {
            line.erase(0, 1);
        }
        *data += line;
        *data += "\r\n";
    }
    return false;
}
