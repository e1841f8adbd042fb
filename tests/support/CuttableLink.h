#pragma once
// A TCP path to a server's unix socket that a test can cut like a pulled cable.
//
// The link lives in a network namespace of its own: its loopback carries a relay from
// 127.0.0.1:port() to the server's socket. Connections made inside connectInside() reach the
// relay; the rest of the machine's network is untouched. Cutting brings that loopback down:
// from then on nothing is delivered either way, and neither end is told (no FIN, no RST), so
// a client notices only by its own timeouts, as after a real cut.
//
// Needs the right to make a network namespace (root, or CAP_SYS_ADMIN and CAP_NET_ADMIN);
// available() says whether the link could be made.
#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace vxtest {

class CuttableLink {
 public:
  explicit CuttableLink(std::string serverSocketPath);
  ~CuttableLink();
  CuttableLink(const CuttableLink&) = delete;
  CuttableLink& operator=(const CuttableLink&) = delete;

  bool available() const { return listener_ >= 0; }
  const std::string& whyUnavailable() const { return why_; }
  int port() const { return port_; }

  // Runs `connect` on the calling thread inside the link's namespace; the sockets it makes stay
  // there and work from any thread afterwards.
  void connectInside(const std::function<void()>& connect);

  // The next request a client sends is passed on to the server, and then the link goes dead
  // before the answer can come back: a cut in the middle of a call.
  void cutAfterNextRequest() { cutArmed_ = true; }
  bool isCut() const { return cut_; }

 private:
  void relay();
  void bringLoopback(bool up);

  std::string serverSocketPath_;
  std::string why_;
  int homeNamespace_ = -1;
  int linkNamespace_ = -1;
  int listener_ = -1;
  int port_ = 0;
  int wake_[2] = {-1, -1};
  std::atomic<bool> cutArmed_{false};
  std::atomic<bool> cut_{false};
  std::thread relay_;
};

}  // namespace vxtest
