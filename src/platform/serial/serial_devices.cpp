#include "platform/serial/serial_devices.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace vexa::platform {
namespace {

namespace fs = std::filesystem;

// Orders ttyUSB2 before ttyUSB10.
bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (std::isdigit(static_cast<unsigned char>(a[i])) &&
        std::isdigit(static_cast<unsigned char>(b[j]))) {
      size_t ie = i, je = j;
      while (ie < a.size() && std::isdigit(static_cast<unsigned char>(a[ie]))) ++ie;
      while (je < b.size() && std::isdigit(static_cast<unsigned char>(b[je]))) ++je;
      const std::string na = a.substr(i, ie - i), nb = b.substr(j, je - j);
      if (na.size() != nb.size()) return na.size() < nb.size();
      if (na != nb) return na < nb;
      i = ie;
      j = je;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

std::vector<std::string> WithPrefix(const fs::path& dir, const std::string& prefix) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0)
      names.push_back(name);
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  return names;
}

}  // namespace

bool BuiltInPortAnswers(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool answers = false;
  serial_struct info{};
  if (ioctl(fd, TIOCGSERIAL, &info) == 0) {
    answers = info.type != PORT_UNKNOWN;
  } else {
    termios tio{};
    answers = tcgetattr(fd, &tio) == 0;  // not a UART driver, but a working terminal
  }
  ::close(fd);
  return answers;
}

std::vector<SerialDeviceEntry> ListSerialDevices(const std::string& devRoot) {
  std::vector<SerialDeviceEntry> out;
  const fs::path root(devRoot);
  for (const char* prefix : {"ttyUSB", "ttyACM"}) {
    for (const auto& name : WithPrefix(root, prefix)) out.push_back({(root / name).string(), ""});
  }
  for (const auto& name : WithPrefix(root, "ttyS")) {
    const std::string path = (root / name).string();
    if (BuiltInPortAnswers(path)) out.push_back({path, ""});
  }
  const fs::path byId = root / "serial" / "by-id";
  std::vector<std::string> ids;
  std::error_code ec;
  for (fs::directory_iterator it(byId, ec), end; !ec && it != end; it.increment(ec))
    ids.push_back(it->path().filename().string());
  std::sort(ids.begin(), ids.end(), NaturalLess);
  for (const auto& name : ids) {
    const fs::path link = byId / name;
    std::error_code lec;
    fs::path target = fs::canonical(link, lec);
    out.push_back({link.string(), lec ? std::string() : target.string()});
  }
  return out;
}

}  // namespace vexa::platform
