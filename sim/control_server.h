// The control channel's server: a listener on 127.0.0.1 and its clients,
// each sending command lines and getting each line's answer. It runs in
// zavsim's one poll loop: add_to_poll() gives the descriptors to wait on,
// serve() takes the same entries once poll has filled them in.
#pragma once

#include <poll.h>

#include <functional>
#include <string>
#include <vector>

namespace zav::sim {

class ControlServer {
public:
    using Handler = std::function<std::string(const std::string& line)>;

    ControlServer() = default;
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Listens on 127.0.0.1:port (0: any free port); false when it cannot.
    bool listen(int port);
    bool listening() const { return listener_ >= 0; }
    // The port it listens on; -1 when it does not.
    int port() const;

    void add_to_poll(std::vector<pollfd>& fds) const;
    // first: the entries add_to_poll() added, in that order. Accepts a new
    // client, answers each whole line a client sent, drops a client that
    // has gone.
    void serve(const pollfd* first, const Handler& handle);

private:
    struct Client {
        int fd;
        std::string input;
    };
    void read_from(Client& client, const Handler& handle);

    int listener_ = -1;
    std::vector<Client> clients_;
};

}  // namespace zav::sim
