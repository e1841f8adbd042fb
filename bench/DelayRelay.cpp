#include "bench/DelayRelay.h"

#include "platform/FileDescriptor.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace vxbench {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error("DelayRelay: " + what + ": " + std::strerror(errno));
}

sockaddr_un unixAddress(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path)
    throw std::runtime_error("DelayRelay: socket path too long: " + path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

bool sendAll(int fd, const std::vector<char>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += std::size_t(n);
  }
  return true;
}

}  // namespace

// One client's connection: the bytes from the client to the server ("up") and back ("down").
struct DelayRelay::Link {
  struct Chunk {
    Clock::time_point due;
    std::vector<char> bytes;
  };
  struct Direction {
    int from = -1, to = -1;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Chunk> queue;
    bool ended = false;  // the reader saw the end of `from`
    std::thread reader, writer;
  };

  vx::FileDescriptor client, server;
  Direction up, down;
  std::chrono::microseconds delay{0};
  bool stopping = false;  // under each direction's mutex
  std::atomic<int> finished{0};

  void read(Direction& d) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
      const ssize_t n = ::read(d.from, buffer.data(), buffer.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // the end, or a reset: both end this direction
      const auto due = Clock::now() + delay;
      std::lock_guard lock(d.mutex);
      d.queue.push_back({due, std::vector<char>(buffer.begin(), buffer.begin() + n)});
      d.changed.notify_all();
    }
    std::lock_guard lock(d.mutex);
    d.ended = true;
    d.changed.notify_all();
    ++finished;
  }

  void write(Direction& d) {
    for (;;) {
      std::unique_lock lock(d.mutex);
      d.changed.wait(lock, [&] { return stopping || d.ended || !d.queue.empty(); });
      if (stopping) break;
      if (d.queue.empty()) {  // everything read before the end is written: pass the end on
        ::shutdown(d.to, SHUT_WR);
        break;
      }
      // Chunks are queued in the order they were read, so the front is due first.
      if (d.changed.wait_until(lock, d.queue.front().due, [&] { return stopping; })) break;
      Chunk chunk = std::move(d.queue.front());
      d.queue.pop_front();
      lock.unlock();
      if (!sendAll(d.to, chunk.bytes)) {
        // The receiving side is gone: nothing more can be delivered either way.
        ::shutdown(client.get(), SHUT_RDWR);
        ::shutdown(server.get(), SHUT_RDWR);
        break;
      }
    }
    ++finished;
  }

  void start() {
    up.from = down.to = client.get();
    up.to = down.from = server.get();
    for (Direction* d : {&up, &down}) {
      d->reader = std::thread([this, d] { read(*d); });
      d->writer = std::thread([this, d] { write(*d); });
    }
  }

  bool done() const { return finished == 4; }

  void stopAndJoin() {
    for (Direction* d : {&up, &down}) {
      std::lock_guard lock(d->mutex);
      stopping = true;
      d->changed.notify_all();
    }
    // Wakes a reader blocked in read() and a writer blocked in send().
    ::shutdown(client.get(), SHUT_RDWR);
    ::shutdown(server.get(), SHUT_RDWR);
    join();
  }

  void join() {
    for (Direction* d : {&up, &down}) {
      if (d->reader.joinable()) d->reader.join();
      if (d->writer.joinable()) d->writer.join();
    }
  }
};

DelayRelay::DelayRelay(std::string serverSocketPath, std::chrono::microseconds delayEachWay, int port)
    : server_(std::move(serverSocketPath)), delay_(delayEachWay), port_(port) {
  (void)unixAddress(server_);  // refuses a path too long before anything is made
  std::string pattern = (std::filesystem::temp_directory_path() / "vx-relay-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) fail("cannot make a folder for the socket");
  dir_ = pattern;
  try {
    const sockaddr_un address = unixAddress(dir_ + "/.s.PGSQL." + std::to_string(port_));
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) fail("socket");
    if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) fail("bind");
    if (::listen(listenFd_, 64) != 0) fail("listen");
    if (::pipe2(wakeFds_, O_CLOEXEC) != 0) fail("pipe");
  } catch (...) {
    for (int fd : {listenFd_, wakeFds_[0], wakeFds_[1]})
      if (fd >= 0) ::close(fd);
    std::filesystem::remove_all(dir_);
    throw;
  }
  acceptor_ = std::thread([this] { acceptLoop(); });
}

DelayRelay::~DelayRelay() {
  const char wake = 'x';
  while (::write(wakeFds_[1], &wake, 1) < 0 && errno == EINTR) {
  }
  acceptor_.join();
  {
    std::lock_guard lock(mutex_);
    for (auto& link : links_) link->stopAndJoin();
    links_.clear();
  }
  for (int fd : {listenFd_, wakeFds_[0], wakeFds_[1]}) ::close(fd);
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void DelayRelay::acceptLoop() {
  const sockaddr_un server = unixAddress(server_);
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents) return;
    if (!(fds[0].revents & POLLIN)) continue;
    vx::FileDescriptor client(::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC));
    if (!client.valid()) continue;
    vx::FileDescriptor upstream(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!upstream.valid() ||
        ::connect(upstream.get(), reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0)
      continue;  // the client sees its connection closed
    auto link = std::make_unique<Link>();
    link->client = std::move(client);
    link->server = std::move(upstream);
    link->delay = delay_;
    link->start();
    std::lock_guard lock(mutex_);
    reapFinished();
    links_.push_back(std::move(link));
  }
}

void DelayRelay::reapFinished() {
  for (auto it = links_.begin(); it != links_.end();) {
    if ((*it)->done()) {
      (*it)->join();
      it = links_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace vxbench
