#include "platform/Backup.h"

#include <system_error>

#include "platform/Files.h"
#include "platform/Path.h"

namespace brenzo::platform {

namespace fs = std::filesystem;

fs::path BackupPath(const fs::path& container) {
    fs::path bak = container;
    bak += PathFromUtf8(".bak");
    return bak;
}

bool HasBackup(const fs::path& container) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(BackupPath(container), ec));
}

Status KeepBackup(const fs::path& container) {
    if (HasBackup(container)) return {};
    const fs::path bak = BackupPath(container);
    std::error_code ec;
    // A link to the container would keep only a name, not its bytes: link the file it names.
    const fs::path original = fs::is_symlink(container, ec) ? fs::canonical(container, ec) : container;
    if (ec) return Error{"cannot keep a backup of " + FileNameUtf8(container) + ": " + ec.message(), true};
    fs::create_hard_link(original, bak, ec);
    if (!ec) return {};
    if (Status s = CopyFileAtomically(original, bak, Durability::Flushed); !s)
        return Error{"cannot keep a backup of " + FileNameUtf8(container) + ": " + s.message(), true};
    return {};
}

Status RestoreBackup(const fs::path& container, const FileIdentity* opened) {
    const fs::path bak = BackupPath(container);
    if (!HasBackup(container))
        return Error{"cannot restore " + FileNameUtf8(container) + ": there is no " + FileNameUtf8(bak), true};
    // A container that is gone is simply put back; one that is there is replaced only as a save
    // would replace it, and not after another program (or a save) changed it meanwhile.
    std::error_code ec;
    const bool present = fs::exists(fs::symlink_status(container, ec));
    FileIdentity expected;
    if (opened) {
        expected = *opened;
    } else if (present) {
        auto now = IdentityOf(container);
        if (!now) return now.status();
        expected = *now;
    }
    if (present || opened)
        if (Status s = CheckReplaceable(container); !s) return s;
    auto bytes = ReadWholeFile(bak);
    if (!bytes) return bytes.status();
    auto file = AtomicFile::Create(container, Durability::Flushed);
    if (!file) return file.status();
    if (present || opened) (*file)->ExpectUnchanged(expected);
    if (Status s = (*file)->Write(*bytes); !s) return s;
    return (*file)->Commit();
}

}  // namespace brenzo::platform
