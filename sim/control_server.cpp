#include "sim/control_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "sim/write_all.h"

namespace zav::sim {

ControlServer::~ControlServer() {
    for (const Client& client : clients_) close(client.fd);
    if (listener_ >= 0) close(listener_);
}

bool ControlServer::listen(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0) {
        close(fd);
        return false;
    }
    listener_ = fd;
    return true;
}

int ControlServer::port() const {
    if (listener_ < 0) return -1;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

void ControlServer::add_to_poll(std::vector<pollfd>& fds) const {
    if (listener_ < 0) return;
    fds.push_back({listener_, POLLIN, 0});
    for (const Client& client : clients_) fds.push_back({client.fd, POLLIN, 0});
}

void ControlServer::serve(const pollfd* first, const Handler& handle) {
    if (listener_ < 0) return;
    // Only the clients that were polled; one accepted now waits for the next round.
    const size_t polled = clients_.size();
    if (first[0].revents & POLLIN) {
        int fd = accept(listener_, nullptr, nullptr);
        if (fd >= 0) clients_.push_back({fd, std::string()});
    }
    for (size_t i = 0; i < polled; ++i) {
        if (first[1 + i].revents & (POLLIN | POLLHUP | POLLERR)) read_from(clients_[i], handle);
    }
    std::vector<Client> open_clients;
    for (Client& client : clients_)
        if (client.fd >= 0) open_clients.push_back(client);
    clients_.swap(open_clients);
}

void ControlServer::read_from(Client& client, const Handler& handle) {
    char buffer[4096];
    ssize_t n = read(client.fd, buffer, sizeof buffer);
    if (n <= 0) {
        close(client.fd);
        client.fd = -1;
        return;
    }
    client.input.append(buffer, static_cast<size_t>(n));
    size_t end;
    while ((end = client.input.find('\n')) != std::string::npos) {
        std::string answer = handle(client.input.substr(0, end));
        client.input.erase(0, end + 1);
        write_all(client.fd, reinterpret_cast<const uint8_t*>(answer.data()), answer.size());
    }
}

}  // namespace zav::sim
