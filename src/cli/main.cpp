#include <CLI/CLI.hpp>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "cli/Commands.h"
#ifdef BRENZO_HAVE_ENGINE
#include "engine/Engine.h"
#endif
#include "cli/Output.h"
#include "platform/Files.h"
#include "platform/Interrupts.h"

using namespace brenzo::cli;

namespace {

void addSelection(CLI::App* cmd, Selection& sel) {
    cmd->add_option("--index", sel.index, "entry index, from 0");
    cmd->add_option("--name", sel.name, "the first entry with this list name");
}

}  // namespace

int main(int argc, char** argv) {
    // Before any thread starts: an interrupted run removes what it created.
    brenzo::platform::CleanUpOnInterrupt();
    brenzo::platform::SetBinaryStdout();
    CLI::App app{"brenzo-cli: list, export and replace the sounds of Kesh Audio containers"};
    app.require_subcommand(1);
    // CLI11 takes "/x" for an option on Windows, and with it every path written from the
    // drive's root ("/mods/bank.bin"); the options are the same on every system. Subcommands
    // inherit this when they are made, so it comes first.
    app.allow_windows_style_options(false);
    Globals globals;
    app.add_option("--hashes", globals.hashes, "the name list (default: Hashes.ini beside the executable)");
    app.set_version_flag(
        "--version", [] { return VersionText(); }, "print the version and every library linked");

    std::string file, out, dir, input, duration;
    bool json = false, dryRun = false;
    Selection sel;
    FitFlags fit;
    auto addFit = [&](CLI::App* cmd) {
        cmd->add_flag("--mix", fit.mix, "mix a source with more channels down (or copy a mono one to every channel)");
        cmd->add_flag("--match-loudness", fit.matchLoudness, "scale the new sound to the loudness of the old one");
        cmd->add_flag("--no-backup", fit.noBackup, "keep no NAME.bak of the original");
    };
    int status = kDone;

    auto* info = app.add_subcommand("info", "print the caption of a container");
    info->add_option("FILE", file, "container file")->required();
    info->callback([&] { status = Info(globals, file); });

    auto* list = app.add_subcommand("list", "list the sounds or channels of a container");
    list->add_option("FILE", file, "container file")->required();
    list->add_flag("--json", json, "print JSON");
    list->callback([&] { status = List(globals, file, json); });

    auto* exp = app.add_subcommand("export", "export one sound (or a whole multichannel file) as WAV");
    exp->add_option("FILE", file, "container file")->required();
    addSelection(exp, sel);
    exp->add_option("-o,--output", out, "the WAV file to write")->required();
    exp->callback([&] { status = Export(globals, file, sel, out); });

    auto* all = app.add_subcommand("export-all", "export every sound into a folder");
    all->add_option("FILE", file, "container file")->required();
    all->add_option("-d,--dir", dir, "the folder to write into")->required();
    all->callback([&] { status = ExportAll(globals, file, dir); });

    auto* rep = app.add_subcommand("replace", "replace a sound (or all channels) with an audio file");
    rep->add_option("FILE", file, "container file")->required();
    addSelection(rep, sel);
    rep->add_option("INPUT", input, "the audio file to put in")->required();
    addFit(rep);
    rep->callback([&] { status = Replace(globals, file, sel, input, fit); });

    auto* imp = app.add_subcommand("import-all", "replace every sound named by a file of a folder, in one save");
    imp->add_option("FILE", file, "container file")->required();
    imp->add_option("-d,--dir", dir, "the folder to read from")->required();
    addFit(imp);
    imp->add_flag("--dry-run", dryRun, "print the plan and write nothing");
    imp->add_flag("--json", json, "print JSON");
    imp->callback([&] { status = ImportAll(globals, file, dir, fit, dryRun, json); });

    auto* restore = app.add_subcommand("restore", "put FILE.bak back over FILE");
    restore->add_option("FILE", file, "container file")->required();
    restore->callback([&] { status = Restore(file); });

    auto* radio = app.add_subcommand("radio", "radio track durations of a .dat15 file");
    radio->require_subcommand(1);
    auto* rlist = radio->add_subcommand("list", "list the radio tracks");
    rlist->add_option("FILE", file, ".dat15 file")->required();
    rlist->add_flag("--json", json, "print JSON");
    rlist->callback([&] { status = RadioList(file, json); });
    auto* rset = radio->add_subcommand("set", "set a track's duration");
    rset->add_option("FILE", file, ".dat15 file")->required();
    addSelection(rset, sel);
    rset->add_option("DURATION", duration, "HH:NN:SS")->required();
    rset->callback([&] { status = RadioSet(file, sel, duration); });

    auto* samples = app.add_subcommand("samples", "write demo files of every kind into a folder");
    samples->add_option("DIR", dir, "folder")->required();
    samples->callback([&] { status = Samples(dir); });

    // CLI11 reads the arguments as they are; they are handed over as UTF-8 on every system.
    const std::vector<std::string> args = brenzo::platform::CommandLineUtf8(argc, argv);
    std::vector<const char*> pointers;
    for (const auto& a : args) pointers.push_back(a.c_str());
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        PrintRaw(e.what());
        return kDone;
    } catch (const std::bad_alloc&) {
        // What the commands did not catch themselves; their files are as they were.
        PrintError("not enough memory");
        return kRefused;
    } catch (const CLI::ParseError& e) {
        // A mistyped command reads as such, with the commands there are, rather than as a
        // missing one.
        if (const auto rest = app.remaining();
            app.get_subcommands().empty() && !rest.empty() && !rest.front().empty() && rest.front().front() != '-') {
            PrintError("unknown command '" + rest.front() + "'");
            std::string names;
            for (const CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
                names += (names.empty() ? "" : ", ") + sub->get_name();
            brenzo::platform::WriteText(stderr, "The commands are: " + names + ".\n");
            return kUsage;
        }
        // The message may quote an argument, and so hold any character.
        PrintError(e.what());
        if (dynamic_cast<const CLI::RequiredError*>(&e) == nullptr)
            brenzo::platform::WriteText(stderr, "Run with --help for usage.\n");
        return kUsage;
    }
    std::fflush(stdout);
#ifdef BRENZO_HAVE_ENGINE
    return brenzo::engine::FinishProcess(status);
#else
    return status;
#endif
}
