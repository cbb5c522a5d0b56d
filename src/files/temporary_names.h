#pragma once
// The names AtomicFile gives its temporary files, and the removal of those a killed process
// left behind.
//
// A temporary file has a name only for the moment of its rename, or for the whole write
// where the file system has no unnamed files (FAT, FUSE, some network file systems). A
// process killed then leaves the name behind, so every name says whose it is:
// ".trevalo-MMMMMMMM-PID-RRRRRR", where MMMMMMMM (hex) stands for this boot of this machine
// and its process-ID space (within which PID names a process), and RRRRRR is random. The
// name is short whatever the target's name, so a target of 255 bytes has a temporary too.

#include <sys/types.h>

#include <optional>

#include <QByteArray>
#include <QByteArrayView>

namespace trevalo {

// Files untouched this long are taken for abandoned when their process cannot be asked
// (another machine's, on a shared folder, or one from before a restart).
inline constexpr long long kForeignTemporaryAgeSeconds = 24 * 60 * 60;

// The eight hex digits of this machine, this boot and this process-ID space.
QByteArray ThisMachineTag();
// A new temporary name of this process (a name, not a path).
QByteArray NewTemporaryName();
// The name of a temporary of process `pid` of machine `machineTag`.
QByteArray TemporaryName(QByteArrayView machineTag, pid_t pid, QByteArrayView random);

struct TemporaryOwner {
  QByteArray machineTag;
  pid_t pid = 0;
};
// Whose temporary `name` is; nullopt for a name that is not one of ours.
std::optional<TemporaryOwner> OwnerOfTemporary(QByteArrayView name);

// Removes the temporaries in `folder` whose writer is gone: those of a process of this
// machine that has ended, and any other that has not changed for
// kForeignTemporaryAgeSeconds. Never a file of a process that runs, nor one of another
// name. A folder that has not changed since the last call, or since NoteOwnChange, is not
// read again.
void RemoveStaleTemporaries(const QByteArray& folder);
// Records that this process changed `folder` (renamed a file into it), so that this change
// alone does not make the next write read the whole folder again.
void NoteOwnChange(const QByteArray& folder);

}  // namespace trevalo
