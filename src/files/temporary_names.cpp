#include "files/temporary_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <utility>

#include <QRandomGenerator>

namespace trevalo {
namespace {

constexpr QByteArrayView kPrefix = ".trevalo-";
constexpr qsizetype kTagLength = 8;
constexpr qsizetype kRandomLength = 6;
constexpr QByteArrayView kRandomAlphabet =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

QByteArray ReadSmallFile(const char* path) {
  char buffer[256];
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return {};
  }
  const ssize_t count = ::read(fd, buffer, sizeof buffer);
  ::close(fd);
  return count > 0 ? QByteArray(buffer, count) : QByteArray();
}

QByteArray ReadLink(const char* path) {
  char buffer[256];
  const ssize_t count = ::readlink(path, buffer, sizeof buffer);
  return count > 0 ? QByteArray(buffer, count) : QByteArray();
}

// A process ID means the same process only within one boot and one PID namespace.
QByteArray ComputeMachineTag() {
  QByteArray identity =
      ReadSmallFile("/proc/sys/kernel/random/boot_id") + ReadLink("/proc/self/ns/pid");
  if (identity.isEmpty()) {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    identity = host;
  }
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (const char c : identity) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  }
  return QByteArray::number(hash, 16).rightJustified(kTagLength, '0');
}

bool IsDecimalDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}
bool IsAlphanumeric(char c) {
  return kRandomAlphabet.contains(c);
}

bool IsGone(const TemporaryOwner& owner, const struct stat& status) {
  if (owner.machineTag == ThisMachineTag()) {
    // EPERM: the process runs, under another user.
    return ::kill(owner.pid, 0) != 0 && errno == ESRCH;
  }
  return std::time(nullptr) - status.st_mtime > kForeignTemporaryAgeSeconds;
}

// The folders this process has read or changed, with their modification time then.
class FolderMemory {
 public:
  // True when the folder has changed since it was last recorded.
  bool Changed(const struct stat& folder) {
    const std::lock_guard lock(mutex_);
    const auto found = times_.find({folder.st_dev, folder.st_ino});
    return found == times_.end() || found->second.tv_sec != folder.st_mtim.tv_sec ||
           found->second.tv_nsec != folder.st_mtim.tv_nsec;
  }
  void Record(const struct stat& folder) {
    const std::lock_guard lock(mutex_);
    times_[{folder.st_dev, folder.st_ino}] = folder.st_mtim;
  }

 private:
  std::mutex mutex_;
  std::map<std::pair<dev_t, ino_t>, timespec> times_;
};

FolderMemory& Folders() {
  static FolderMemory folders;
  return folders;
}

}  // namespace

QByteArray ThisMachineTag() {
  static const QByteArray tag = ComputeMachineTag();
  return tag;
}

QByteArray TemporaryName(QByteArrayView machineTag, pid_t pid, QByteArrayView random) {
  return kPrefix.toByteArray() + machineTag.toByteArray() + '-' + QByteArray::number(pid) + '-' +
         random.toByteArray();
}

QByteArray NewTemporaryName() {
  QByteArray random(kRandomLength, Qt::Uninitialized);
  for (char& c : random) {
    c = kRandomAlphabet[QRandomGenerator::global()->bounded(
        static_cast<quint32>(kRandomAlphabet.size()))];
  }
  return TemporaryName(ThisMachineTag(), ::getpid(), random);
}

std::optional<TemporaryOwner> OwnerOfTemporary(QByteArrayView name) {
  if (!name.startsWith(kPrefix)) {
    return std::nullopt;
  }
  name = name.sliced(kPrefix.size());
  const qsizetype pidEnd = name.lastIndexOf('-');
  if (name.size() < kTagLength + 1 || name[kTagLength] != '-' ||
      pidEnd != name.size() - kRandomLength - 1 || pidEnd <= kTagLength + 1 ||
      !std::all_of(name.begin(), name.begin() + kTagLength, IsHexDigit) ||
      !std::all_of(name.begin() + pidEnd + 1, name.end(), IsAlphanumeric)) {
    return std::nullopt;
  }
  const QByteArrayView pidText = name.sliced(kTagLength + 1, pidEnd - kTagLength - 1);
  bool ok = false;
  const int pid = pidText.toInt(&ok);
  if (!ok || pid <= 0 || pidText.front() == '0' ||
      !std::all_of(pidText.begin(), pidText.end(), IsDecimalDigit)) {
    return std::nullopt;
  }
  return TemporaryOwner{name.first(kTagLength).toByteArray(), pid};
}

void RemoveStaleTemporaries(const QByteArray& folder) {
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return;  // the write itself will say what is wrong with the folder
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !Folders().Changed(status)) {
    ::close(fd);
    return;
  }
  DIR* entries = ::fdopendir(fd);
  if (entries == nullptr) {
    ::close(fd);
    return;
  }
  while (const dirent* entry = ::readdir(entries)) {
    const std::optional<TemporaryOwner> owner = OwnerOfTemporary(entry->d_name);
    struct stat file {};
    if (owner && ::fstatat(fd, entry->d_name, &file, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(file.st_mode) && IsGone(*owner, file)) {
      ::unlinkat(fd, entry->d_name, 0);  // a file that cannot go stays for a later write
    }
  }
  if (::fstat(fd, &status) == 0) {
    Folders().Record(status);
  }
  ::closedir(entries);
}

void NoteOwnChange(const QByteArray& folder) {
  struct stat status {};
  if (::stat(folder.constData(), &status) == 0) {
    Folders().Record(status);
  }
}

}  // namespace trevalo
