// `brenzo-cli replace`: a sound of a bank, or all channels of a multichannel file, replaced
// with a WAV, MP3 or OGG Vorbis file.
#include "cli/Commands.h"
#include "cli/ConsolePort.h"
#include "cli/Output.h"
#include "platform/Path.h"
#include "replace/MultiReplace.h"
#include "replace/ReplaceCommand.h"

#ifdef BRENZO_HAVE_ENGINE
#include "engine/Engine.h"
#endif

namespace brenzo::cli {

int Replace(const Globals& g, const std::string& file, const Selection& sel, const std::string& input) {
#ifndef BRENZO_HAVE_ENGINE
    (void)g, (void)file, (void)sel, (void)input;
    return Fail(kRefused, "this build of brenzo-cli has no audio engine; replace is not available");
#else
    auto scratch = workspace::ScratchFolders::Create();
    if (!scratch) return FailWith(scratch.status());
    struct RemoveAtEnd {
        workspace::ScratchFolders& s;
        ~RemoveAtEnd() { s.Remove(); }
    } cleanup{*scratch};

    ConsolePort port;
    workspace::Workspace ws = MakeWorkspace(g, &*scratch);
    if (int s = OpenContainer(g, file, ws, port); s != kDone) return s;
    std::size_t entry = 0;
    if (ws.FileKind() == workspace::kKindMultichannel) {
        if (sel.index || sel.name)
            return Fail(kUsage, "all channels of a multichannel file are replaced; --index and --name do not apply");
    } else if (int s = ResolveEntry(ws, file, sel, entry); s != kDone) {
        return s;
    }
    auto converter = engine::MakeConverter();
    Status s = replace::ReplaceEntry(ws, port, *converter, platform::PathFromUtf8(input), entry);
    port.ClearProgress();
    if (!s) return FailWith(s);
    return kDone;
#endif
}

}  // namespace brenzo::cli
