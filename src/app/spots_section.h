#pragma once
// The spots section: the spot ring that every completed received line is offered to, and the
// web cluster client of the spot window. Fetching and posting run on a worker thread so that
// the window never waits for the network; the worker hands its result back and the tick feeds
// the ring, which is touched on the main thread only.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/section.h"
#include "app/station_context.h"
#include "spots/cluster_client.h"
#include "spots/spot_ring.h"
#include "spots/web_cluster.h"

namespace vexa::app {

// The web cluster settings as stored, with the table's defaults for missing keys.
spots::WebClusterSettings LoadWebClusterSettings(const platform::SettingsStore& store);
// The telnet cluster settings; the login call is DXCLUSTER/Call, or Station/MyCall when empty.
spots::ClusterSettings LoadClusterSettings(const platform::SettingsStore& store);

// The spot window as the section sees it.
class SpotsView {
 public:
  virtual ~SpotsView() = default;
  // The ring changed: refill the list (SpotsSection::DisplayLines).
  virtual void SpotsChanged() = 0;
  // Network work started (wait cursor, list disabled) or ended.
  virtual void WebBusy(bool busy) = 0;
  // A fetch or post finished: 0 or a spots::WebClusterError, and a line for the status.
  virtual void WebFinished(int error, const std::string& message) = 0;
  // Lines the telnet cluster sent since the last call, and its status line when it changed.
  virtual void ClusterText(const std::vector<std::string>& lines) { (void)lines; }
  virtual void ClusterStatus(const std::string& status) { (void)status; }
};

class SpotsSection final : public Section {
 public:
  explicit SpotsSection(StationContext& ctx);
  ~SpotsSection() override;
  SpotsSection(const SpotsSection&) = delete;
  SpotsSection& operator=(const SpotsSection&) = delete;

  const char* name() const override { return "spots"; }
  void OnInitStep(int step) override;
  void OnReceivedLine(std::string_view line) override;
  void OnTerminalLine(std::string_view line) override { OnReceivedLine(line); }
  void OnTick() override;
  void OnClosing() override;

  // The ring: the program's own (CoreConfig::spotRing) when it has one, else the section's.
  spots::SpotRing& ring() { return *ring_; }
  // The list as the window shows it: newest first, numbered from 1 by position.
  std::vector<std::string> DisplayLines() const { return ring_->DisplayLines(); }
  void AttachView(SpotsView* view) { view_ = view; }

  // --- The spot window ---
  // Opening the window: the settings are read again, the list shows the ring, and with
  // LoadOnStart 1 the page is fetched.
  void OpenSpotWindow();
  // Starts fetching the page; false while other network work is running.
  bool FetchSpots();
  // Starts sending a spot; false while other network work is running.
  bool PostSpot(const spots::SpotPost& spot);
  bool webBusy() const { return busy_; }
  // Blocks until the worker has finished (bounded by the network time-outs), then hands its
  // result over as the tick would. False when nothing was running.
  bool WaitForWebWork();
  const spots::WebClusterSettings& webSettings() const { return web_; }
  // The last finished operation: 0 or a spots::WebClusterError, with its message.
  int lastWebError() const { return lastError_; }
  const std::string& lastWebMessage() const { return lastMessage_; }
  int lastNewSpots() const { return lastNewSpots_; }

  // --- The telnet cluster ---
  // Connects (on a thread of its own, reconnecting after a loss) to the host of the settings;
  // false when no host is set. Its lines reach the ring on the tick.
  bool ConnectCluster();
  void DisconnectCluster();
  bool clusterRunning() const { return cluster_.joinable(); }
  // A command for the node ("sh/dx", "set/filter ..."), sent once logged in.
  void SendClusterCommand(std::string_view command);
  // Announces a spot with the cluster's "DX freq call comment" command.
  void SendClusterSpot(const spots::SpotPost& spot) {
    SendClusterCommand(spots::ClusterSpotCommand(spot));
  }
  // The last status line of the connection, as of the last tick.
  const std::string& clusterStatus() const { return clusterStatus_; }
  // The most recent lines of the cluster's text (at most kClusterTextLines).
  static constexpr size_t kClusterTextLines = 500;
  const std::deque<std::string>& clusterText() const { return clusterText_; }
  // Blocks until `count` lines have arrived since the last tick or `timeout` passed; true when
  // they did (tests and the command line; the window uses the tick).
  bool WaitForClusterLines(size_t count, std::chrono::milliseconds timeout);

 private:
  enum class Job { None, Fetch, Post };
  void Start(Job job, spots::SpotPost spot);
  void CollectWebResult();

  StationContext& ctx_;
  spots::SpotRing ownRing_;
  spots::SpotRing* ring_;
  spots::WebClusterSettings web_;
  SpotsView* view_ = nullptr;

  // Worker state: written by the worker under mutex_, read by the main thread.
  std::thread worker_;
  std::mutex mutex_;
  std::condition_variable doneCv_;
  bool done_ = false;
  Job job_ = Job::None;
  int workError_ = 0;
  std::string workMessage_;
  std::vector<std::string> workLines_;
  bool busy_ = false;  // main thread only

  int lastError_ = 0;
  std::string lastMessage_;
  int lastNewSpots_ = 0;

  // Telnet cluster thread: inbox, outbox and status under clusterMutex_.
  void CollectClusterLines();
  std::thread cluster_;
  std::atomic<bool> clusterStop_{false};
  std::mutex clusterMutex_;
  std::condition_variable clusterCv_;
  std::deque<std::string> inbox_;
  std::vector<std::string> outbox_;
  std::string workerStatus_;
  std::string clusterStatus_ = "not connected";
  std::deque<std::string> clusterText_;
};

}  // namespace vexa::app
