#pragma once
// A delay line between libpq and a PostgreSQL server that listens on a Unix socket: the slow
// wide-area link of a branch library, on the local machine and without root.
//
// The relay listens on "<socketDir()>/.s.PGSQL.<port()>" in a folder of its own, so that
// "SERVER NAME=<socketDir()>" and "PORT=<port()>" reach it. For every client it accepts it
// connects to the server's socket and forwards the bytes both ways; a chunk read at time t is
// written on at t + delay, chunks keep their order, and any number of them may be on the way
// at once (one reader and one writer thread per direction). When one side ends its sending,
// the other side's sending is ended (shutdown(SHUT_WR)) once the bytes read before it have
// been written. A delay of 0 passes the bytes straight on.
//
// The constructor raises std::runtime_error when the folder or the listening socket cannot be
// made. A client the relay cannot connect to the server is closed at once. The destructor
// closes every connection (bytes still on the way are dropped), joins every thread and
// removes the folder.
#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace vxbench {

class DelayRelay {
 public:
  DelayRelay(std::string serverSocketPath, std::chrono::microseconds delayEachWay, int port = 5432);
  ~DelayRelay();
  DelayRelay(const DelayRelay&) = delete;
  DelayRelay& operator=(const DelayRelay&) = delete;

  const std::string& socketDir() const { return dir_; }
  int port() const { return port_; }

 private:
  struct Link;
  void acceptLoop();
  void reapFinished();

  std::string server_;
  std::chrono::microseconds delay_;
  int port_;
  std::string dir_;
  int listenFd_ = -1;
  int wakeFds_[2] = {-1, -1};  // written by the destructor to end the accepting
  std::mutex mutex_;
  std::list<std::unique_ptr<Link>> links_;
  std::thread acceptor_;
};

}  // namespace vxbench
