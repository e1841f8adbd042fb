#include "tests/support/CuttableLink.h"

#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

namespace vxtest {

namespace {

std::string lastError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool writeFully(int fd, const char* data, ssize_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= n;
  }
  return true;
}

int connectUnix(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
  if (fd >= 0) ::close(fd);
  return -1;
}

}  // namespace

CuttableLink::CuttableLink(std::string serverSocketPath) : serverSocketPath_(std::move(serverSocketPath)) {
  homeNamespace_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  if (homeNamespace_ < 0) {
    why_ = lastError("open /proc/thread-self/ns/net");
    return;
  }
  if (::unshare(CLONE_NEWNET) != 0) {
    why_ = lastError("unshare(CLONE_NEWNET)");
    return;
  }
  linkNamespace_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  bringLoopback(true);
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listener, 8) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    why_ = lastError("listen on the link's loopback");
    if (listener >= 0) ::close(listener);
  } else {
    listener_ = listener;
    port_ = ntohs(addr.sin_port);
  }
  // Back home: only the sockets made inside belong to the link.
  if (::setns(homeNamespace_, CLONE_NEWNET) != 0) throw std::runtime_error(lastError("setns back"));
  if (listener_ < 0) return;
  if (::pipe2(wake_, O_CLOEXEC) != 0) throw std::runtime_error(lastError("pipe2"));
  relay_ = std::thread([this] { relay(); });
}

CuttableLink::~CuttableLink() {
  if (relay_.joinable()) {
    // The relay wakes on the byte; a pipe with room for it cannot refuse one byte.
    const char c = 0;
    if (::write(wake_[1], &c, 1) != 1) std::perror("CuttableLink: waking the relay");
    relay_.join();
  }
  for (int fd : {listener_, wake_[0], wake_[1], linkNamespace_, homeNamespace_})
    if (fd >= 0) ::close(fd);
}

void CuttableLink::connectInside(const std::function<void()>& connect) {
  if (::setns(linkNamespace_, CLONE_NEWNET) != 0) throw std::runtime_error(lastError("setns into the link"));
  struct GoHome {
    int fd;
    ~GoHome() { (void)::setns(fd, CLONE_NEWNET); }
  } goHome{homeNamespace_};
  connect();
}

void CuttableLink::bringLoopback(bool up) {
  // Called on a thread inside the link's namespace.
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq ifr{};
  std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
  if (fd < 0 || ::ioctl(fd, SIOCGIFFLAGS, &ifr) != 0) throw std::runtime_error(lastError("SIOCGIFFLAGS lo"));
  if (up)
    ifr.ifr_flags |= IFF_UP;
  else
    ifr.ifr_flags &= ~IFF_UP;
  if (::ioctl(fd, SIOCSIFFLAGS, &ifr) != 0) throw std::runtime_error(lastError("SIOCSIFFLAGS lo"));
  ::close(fd);
}

void CuttableLink::relay() {
  (void)::setns(linkNamespace_, CLONE_NEWNET);
  std::vector<std::pair<int, int>> pairs;  // client, server
  for (;;) {
    std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
    // Once cut, nothing is read any more: what was sent stays where it is.
    if (!cut_)
      for (const auto& [client, server] : pairs) {
        fds.push_back({client, POLLIN, 0});
        fds.push_back({server, POLLIN, 0});
      }
    if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) break;
    if (fds[0].revents) break;
    if (fds[1].revents & POLLIN) {
      const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      const int server = client >= 0 ? connectUnix(serverSocketPath_) : -1;
      if (server >= 0)
        pairs.emplace_back(client, server);
      else if (client >= 0)
        ::close(client);
    }
    for (std::size_t i = 2; i < fds.size() && !cut_; ++i) {
      auto& [client, server] = pairs[(i - 2) / 2];
      if (!fds[i].revents || client < 0) continue;
      const bool fromClient = fds[i].fd == client;
      char buf[65536];
      const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n <= 0 || !writeFully(fromClient ? server : client, buf, n)) {
        // One end closed: so does the other (before a cut only).
        ::close(client);
        ::close(server);
        client = server = -1;
        continue;
      }
      if (fromClient && cutArmed_.exchange(false)) {
        bringLoopback(false);
        cut_ = true;
      }
    }
    std::erase_if(pairs, [](const auto& p) { return p.first < 0; });
  }
  for (const auto& [client, server] : pairs) {
    ::close(client);
    ::close(server);
  }
}

}  // namespace vxtest
