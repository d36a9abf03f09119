#pragma once
// Keeps our JACK ports connected to the ports they were opened for while the other client
// quits and starts again. A small JACK client of our own hears every port registration;
// when a followed port's full name ("client:port") is registered anew, a worker thread
// connects it to our port again. Nothing polls: the worker sleeps until JACK tells it
// something changed.
#include <jack/jack.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvo {

class JackPortFollower {
 public:
  // Opens the listening client `listenerName` on the running server; nullptr when that fails
  // (ports then work as before, without following). `ownClientName` names the clients whose
  // ports are ours (also with JACK's "-01", "-02", ... suffixes).
  static std::shared_ptr<JackPortFollower> Create(const std::string& listenerName, std::string ownClientName);
  ~JackPortFollower();
  JackPortFollower(const JackPortFollower&) = delete;
  JackPortFollower& operator=(const JackPortFollower&) = delete;

  // The listening client, for what any client may ask of the server.
  jack_client_t* Client() const { return client_; }
  // Process cycles the server has run since the client started. Any thread.
  uint64_t Cycles() const { return cycles_.load(std::memory_order_relaxed); }
  // Full names of our own MIDI ports now.
  std::vector<std::string> OwnPorts() const;

  // From now on, whenever `source` or `destination` is registered again, connect the two.
  // The id is for Unfollow.
  uint64_t Follow(std::string source, std::string destination);
  // Returns once no connection for `id` is being made, so that the caller may close its port.
  void Unfollow(uint64_t id);

 private:
  struct Link {
    std::string source, destination;
  };

  JackPortFollower(jack_client_t* client, std::string ownClientName);
  // Runs on the listening client's JACK notification thread: must not call the server.
  static void OnPortRegistration(jack_port_id_t port, int registered, void* self);
  // Runs on the listening client's process thread: counts the cycle, nothing else.
  static int OnProcess(jack_nframes_t frames, void* self);
  void RunWorker();  // the worker thread's entry
  void Reconnect(const std::string& registeredName);  // worker thread, linksMutex_ held

  jack_client_t* const client_;
  const std::string ownClientName_;
  std::atomic<uint64_t> cycles_{0};

  std::mutex queueMutex_;  // what the notification thread hands over; never held across a JACK call
  std::condition_variable wake_;
  std::vector<jack_port_id_t> registered_;
  bool stop_ = false;

  std::mutex linksMutex_;  // the links; held by the worker while it connects
  std::map<uint64_t, Link> links_;
  uint64_t nextId_ = 1;

  std::thread worker_;
};

// Follows one pair of ports for as long as it lives.
class FollowedConnection {
 public:
  FollowedConnection(std::shared_ptr<JackPortFollower> follower, std::string source, std::string destination)
      : follower_(std::move(follower)), id_(follower_->Follow(std::move(source), std::move(destination))) {}
  ~FollowedConnection() { follower_->Unfollow(id_); }
  FollowedConnection(const FollowedConnection&) = delete;
  FollowedConnection& operator=(const FollowedConnection&) = delete;

 private:
  std::shared_ptr<JackPortFollower> follower_;
  uint64_t id_;
};

}  // namespace orvo
