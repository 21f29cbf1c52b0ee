#include "app/spots_section.h"

#include "app/settings_table.h"

namespace vexa::app {

spots::WebClusterSettings LoadWebClusterSettings(const platform::SettingsStore& store) {
  auto text = [&](const char* key) {
    const SettingDef* def = FindSetting("WEBCLUSTER", key);
    return store.ReadSettingText("WEBCLUSTER", key,
                                 def != nullptr ? DefaultText(*def, store) : std::string());
  };
  spots::WebClusterSettings s;
  s.server = text("Server");
  s.page = text("Page");
  s.spotPage = text("SpotPage");
  s.port = ReadIntSetting(store, "WEBCLUSTER", "Port");
  s.loadOnStart = ReadIntSetting(store, "WEBCLUSTER", "LoadOnStart");
  return s;
}

spots::ClusterSettings LoadClusterSettings(const platform::SettingsStore& store) {
  spots::ClusterSettings s;
  s.host = store.ReadSettingText("DXCLUSTER", "Host", "");
  s.port = ReadIntSetting(store, "DXCLUSTER", "Port");
  s.call = store.ReadSettingText("DXCLUSTER", "Call", "");
  if (s.call.empty()) s.call = CurrentValueText(*FindSetting("Station", "MyCall"), store);
  s.connectTimeoutMs = 5000;
  return s;
}

SpotsSection::SpotsSection(StationContext& ctx)
    : ctx_(ctx), ring_(ctx.config.spotRing != nullptr ? ctx.config.spotRing : &ownRing_) {
  web_ = LoadWebClusterSettings(ctx_.store());
}

SpotsSection::~SpotsSection() {
  DisconnectCluster();
  if (worker_.joinable()) worker_.join();
}

void SpotsSection::OnInitStep(int step) {
  if (step == 11) web_ = LoadWebClusterSettings(ctx_.store());
  if (step == 20 && ReadIntSetting(ctx_.store(), "DXCLUSTER", "AutoConnect") == 1)
    (void)ConnectCluster();
}

void SpotsSection::OnTick() {
  CollectWebResult();
  CollectClusterLines();
}

void SpotsSection::OnClosing() {
  DisconnectCluster();
  WaitForWebWork();
}

// ---- The telnet cluster ----

bool SpotsSection::ConnectCluster() {
  spots::ClusterSettings settings = LoadClusterSettings(ctx_.store());
  if (settings.host.empty()) {
    clusterStatus_ = "no cluster host set (DXCLUSTER Host)";
    if (view_ != nullptr) view_->ClusterStatus(clusterStatus_);
    return false;
  }
  DisconnectCluster();
  clusterStop_ = false;
  cluster_ = std::thread([this, settings = std::move(settings)] {
    spots::ClusterClient client(settings);
    std::vector<std::string> lines;
    while (!clusterStop_) {
      client.Step(100, lines);
      bool wake = false;
      {
        std::lock_guard lock(clusterMutex_);
        // Bounded: a node that floods a window nobody ticks drops its oldest lines.
        for (std::string& l : lines) {
          if (inbox_.size() >= 2000) inbox_.pop_front();
          inbox_.push_back(std::move(l));
          wake = true;
        }
        for (const std::string& c : outbox_) client.Send(c);
        outbox_.clear();
        if (client.status() != workerStatus_) {
          workerStatus_ = client.status();
          wake = true;
        }
      }
      lines.clear();
      if (wake) {
        clusterCv_.notify_all();
        ctx_.host.Wake();
      }
    }
  });
  return true;
}

void SpotsSection::DisconnectCluster() {
  if (!cluster_.joinable()) return;
  clusterStop_ = true;
  cluster_.join();
  CollectClusterLines();
  clusterStatus_ = "disconnected";
  if (view_ != nullptr) view_->ClusterStatus(clusterStatus_);
}

void SpotsSection::SendClusterCommand(std::string_view command) {
  std::lock_guard lock(clusterMutex_);
  if (outbox_.size() < 64) outbox_.emplace_back(command);
}

bool SpotsSection::WaitForClusterLines(size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock lock(clusterMutex_);
  return clusterCv_.wait_for(lock, timeout, [&] { return inbox_.size() >= count; });
}

void SpotsSection::CollectClusterLines() {
  std::deque<std::string> lines;
  std::string status;
  {
    std::lock_guard lock(clusterMutex_);
    lines.swap(inbox_);
    status = workerStatus_;
  }
  bool changed = false;
  for (const std::string& l : lines) {
    changed = ring_->addSpotFromLine(l) != 0 || changed;
    if (clusterText_.size() >= kClusterTextLines) clusterText_.pop_front();
    clusterText_.push_back(l);
  }
  if (view_ != nullptr && !lines.empty())
    view_->ClusterText(std::vector<std::string>(lines.begin(), lines.end()));
  if (changed && view_ != nullptr) view_->SpotsChanged();
  if (!status.empty() && status != clusterStatus_ && cluster_.joinable()) {
    clusterStatus_ = status;
    if (view_ != nullptr) view_->ClusterStatus(clusterStatus_);
  }
}

void SpotsSection::OnReceivedLine(std::string_view line) {
  if (ring_->addSpotFromLine(line) != 0 && view_ != nullptr) view_->SpotsChanged();
}

void SpotsSection::OpenSpotWindow() {
  web_ = LoadWebClusterSettings(ctx_.store());
  if (view_ != nullptr) view_->SpotsChanged();
  if (web_.loadOnStart == 1) (void)FetchSpots();
}

bool SpotsSection::FetchSpots() {
  if (busy_) return false;
  Start(Job::Fetch, {});
  return true;
}

bool SpotsSection::PostSpot(const spots::SpotPost& spot) {
  if (busy_) return false;
  Start(Job::Post, spot);
  return true;
}

void SpotsSection::Start(Job job, spots::SpotPost spot) {
  if (worker_.joinable()) worker_.join();  // a finished worker not collected yet
  busy_ = true;
  {
    std::lock_guard lock(mutex_);
    done_ = false;
    job_ = job;
  }
  if (view_ != nullptr) view_->WebBusy(true);
  const spots::WebClusterSettings settings = web_;
  const std::string myCall = ctx_.members.myCall.value;
  worker_ = std::thread([this, job, settings, myCall, spot = std::move(spot)] {
    std::vector<std::string> lines;
    std::string message;
    const int rc = job == Job::Fetch ? spots::FetchSpotPage(settings, lines, message)
                                     : spots::PostSpot(settings, myCall, spot, message);
    std::lock_guard lock(mutex_);
    workError_ = rc;
    workMessage_ = std::move(message);
    workLines_ = std::move(lines);
    done_ = true;
    doneCv_.notify_all();
    ctx_.host.Wake();
  });
}

bool SpotsSection::WaitForWebWork() {
  if (!busy_) return false;
  {
    std::unique_lock lock(mutex_);
    doneCv_.wait(lock, [this] { return done_; });
  }
  CollectWebResult();
  return true;
}

void SpotsSection::CollectWebResult() {
  if (!busy_) return;
  Job job;
  {
    std::lock_guard lock(mutex_);
    if (!done_) return;
    job = job_;
    lastError_ = workError_;
    lastMessage_ = std::move(workMessage_);
  }
  worker_.join();
  busy_ = false;
  lastNewSpots_ = 0;
  if (job == Job::Fetch && lastError_ == spots::kWebOk) {
    // Lines read before an error are not used: only a complete page reaches the ring.
    lastNewSpots_ = spots::FeedPageLines(*ring_, workLines_);
    lastMessage_ += ", " + std::to_string(lastNewSpots_) + " new spots";
  }
  workLines_.clear();
  if (view_ != nullptr) {
    if (job == Job::Fetch) view_->SpotsChanged();
    view_->WebBusy(false);
    view_->WebFinished(lastError_, lastMessage_);
  }
}

}  // namespace vexa::app
