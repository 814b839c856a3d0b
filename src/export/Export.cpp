#include "export/Export.h"

#include "export/BackgroundSink.h"
#include "common/OutOfMemory.h"

namespace brenzo::exporting {

namespace {
template <class Produce>
Status exportTo(const std::filesystem::path& path, Produce produce) {
    auto sink = FileSink::Create(path);
    if (!sink) return sink.status();
    // The file is written on another thread while the next piece is decoded.
    BackgroundSink background(**sink);
    Status produced = produce(background);
    Status written = background.Finish();
    if (!produced) return produced;
    if (!written) return written;
    return (*sink)->Commit();
}
}  // namespace

Status ExportBANK_ADPCM(const workspace::Workspace& ws, const std::filesystem::path& path, std::uint32_t n,
                        workspace::UiPort& port) {
    if (!ws.CurrentBank()) return Error{"no sound bank is loaded"};
    return exportTo(path, [&](ByteSink& out) {
        return ExportBankSound(ws.SourceImage, *ws.CurrentBank(), n, SoundForm::Adpcm, out, &port);
    });
}

Status ExportBANK_PCM(const workspace::Workspace& ws, const std::filesystem::path& path, std::uint32_t n,
                      std::uint32_t c, workspace::UiPort& port) {
    if (!ws.CurrentBank()) return Error{"no sound bank is loaded"};
    return exportTo(path, [&](ByteSink& out) {
        return ExportBankSound(ws.SourceImage, *ws.CurrentBank(), n, FormOfCompression(c), out, &port);
    });
}

Status ExportMULTI_ADPCM(const workspace::Workspace& ws, const std::filesystem::path& path, workspace::UiPort& port) {
    if (!ws.CurrentMulti()) return Error{"no multichannel file is loaded"};
    return exportTo(path, [&](ByteSink& out) {
        Status s = ExportMultichannel(ws.SourceImage, *ws.CurrentMulti(), out, &port);
        if (!s) return Status{Error{"cannot export " + ws.FileName + ": " + s.message()}};
        return s;
    });
}

namespace {

Status exportByKind(const workspace::Workspace& ws, const std::filesystem::path& path, std::uint32_t n,
                    workspace::UiPort& port) {
    switch (ws.FileKind()) {
        case workspace::kKindBankWithAnimations:
            return ExportBANK_ADPCM(ws, path, n, port);
        case workspace::kKindPlainBank:
            if (!ws.CurrentBank() || n >= ws.CurrentBank()->BanksInfo.size()) return Error{"the bank has no such sound"};
            return ExportBANK_PCM(ws, path, n, ws.CurrentBank()->BanksInfo[n].Compression, port);
        case workspace::kKindMultichannel:
            return ExportMULTI_ADPCM(ws, path, port);
        default:
            return Error{"nothing is loaded"};
    }
}

}  // namespace

Status ExportEntry(const workspace::Workspace& ws, const std::filesystem::path& path, std::uint32_t n,
                   workspace::UiPort& port) {
    const std::string what = ws.FileKind() == workspace::kKindMultichannel ? ws.FileName : ws.RowName(n);
    return CatchOutOfMemory("export " + what, [&] { return exportByKind(ws, path, n, port); });
}

}  // namespace brenzo::exporting
