#include "export/Export.h"

#include "common/OutOfMemory.h"
#include "export/BackgroundSink.h"

namespace brenzo::exporting {

namespace {
template <class Produce>
Status exportTo(const workspace::Workspace& ws, const std::filesystem::path& path, Produce produce) {
    auto sink = FileSink::Create(path);
    if (!sink) return sink.status();
    // The file is written on another thread while the next piece is decoded.
    BackgroundSink background(**sink);
    Status produced = produce(background);
    Status written = background.Finish();
    if (!produced) return produced;
    if (!written) return written;
    // A mapped container cut short by another program reads as zeros where it lost its end:
    // such an export is not the sound, and it does not replace the file at `path`.
    if (!platform::ImageIntact(ws.SourceImage))
        return Error{"cannot export from " + ws.FileName +
                         ": it was changed by another program since it was opened; open it again",
                     true};
    return (*sink)->Commit();
}
}  // namespace

SoundForm FormOfSound(const workspace::OpenedBank& bank, std::uint32_t n) {
    if (bank.kind == formats::BankKind::WithAnimations) return SoundForm::Adpcm;
    return n < bank.model.BanksInfo.size() ? FormOfCompression(bank.model.BanksInfo[n].Compression)
                                           : SoundForm::Unknown;
}

Status ExportOpened(const workspace::Workspace& ws, std::uint32_t n, ByteSink& out, workspace::UiPort* port) {
    return workspace::VisitOpened(
        ws, [](std::monostate) -> Status { return Error{"nothing is loaded"}; },
        [&](const workspace::OpenedBank& bank) {
            return ExportBankSound(ws.SourceImage, bank.model, n, FormOfSound(bank, n), out, port);
        },
        [&](const formats::TMultiADPCM& multi) { return ExportMultichannel(ws.SourceImage, multi, out, port); });
}

Status ExportBANK_PCM(const workspace::Workspace& ws, const std::filesystem::path& path, std::uint32_t n,
                      std::uint32_t c, workspace::UiPort& port) {
    if (!ws.CurrentBank()) return Error{"no sound bank is loaded"};
    return exportTo(ws, path, [&](ByteSink& out) {
        return ExportBankSound(ws.SourceImage, *ws.CurrentBank(), n, FormOfCompression(c), out, &port);
    });
}

Status ExportMULTI_ADPCM(const workspace::Workspace& ws, const std::filesystem::path& path, workspace::UiPort& port) {
    if (!ws.CurrentMulti()) return Error{"no multichannel file is loaded"};
    return exportTo(ws, path, [&](ByteSink& out) {
        Status s = ExportMultichannel(ws.SourceImage, *ws.CurrentMulti(), out, &port);
        if (!s) return Status{Error{"cannot export " + ws.FileName + ": " + s.message()}};
        return s;
    });
}

Status ExportEntry(const workspace::Workspace& ws, const std::filesystem::path& path, std::uint32_t n,
                   workspace::UiPort& port) {
    return workspace::VisitOpened(
        ws, [](std::monostate) -> Status { return Error{"nothing is loaded"}; },
        [&](const workspace::OpenedBank& bank) {
            return CatchOutOfMemory("export " + ws.RowName(n), [&] {
                // Checked before the file is made: a sound the bank does not have leaves nothing behind.
                if (n >= bank.model.BanksInfo.size()) return Status{Error{"the bank has no such sound"}};
                return exportTo(ws, path, [&](ByteSink& out) { return ExportOpened(ws, n, out, &port); });
            });
        },
        [&](const formats::TMultiADPCM&) {
            return CatchOutOfMemory("export " + ws.FileName, [&] { return ExportMULTI_ADPCM(ws, path, port); });
        });
}

}  // namespace brenzo::exporting
