#include "cli/cli.h"

#include <errno.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>

#include "cli/cli_failure.h"
#include "cli/commands.h"
#include "cli/image_access.h"
#include "io/byte_stream.h"
#include "version.h"

namespace sonabank::cli {

namespace {

constexpr std::string_view kProgram = "sonabank-cli";

void PrintHelp(std::ostream& out) {
    out << "Usage: " << kProgram << " COMMAND ARGUMENTS...\n"
        << "       " << kProgram << " --help | --version\n\n"
        << "Builds and inspects Sonabank sound images (project files, *.bin).\n"
        << "NUMBER is the fragment number that `list` shows, 0 for the first.\n\n"
        << "Commands:\n";
    for (const Command& command : Commands()) {
        out << "  " << command.name << ' ' << command.synopsis << "\n      " << command.summary
            << '\n';
    }
    out << "\nFILE is an audio file (WAV, AIFF, FLAC, Ogg Vorbis or Opus, MP3, ...) when its\n"
        << "first bytes say so, whatever its name: it is mixed to mono and resampled to the\n"
        << "format's rate. Any other file is a headerless RAW file, stored sample for\n"
        << "sample, so it must already have the format's rate.\n"
        << "\nOptions:\n"
        << "  --width 8|16         sample width of a RAW file: 8-bit unsigned (default)\n"
        << "                       or 16-bit signed little-endian\n"
        << "  --format FORMAT      pcm22050 (default), pcm11025 or adpcm\n"
        << "  --description TEXT   up to 21 characters; empty: the file's name, or the\n"
        << "                       spoken text. change with a FILE keeps the stored one,\n"
        << "                       byte for byte, when it is not given\n"
        << "  --say TEXT           change: speak TEXT over the fragment, like say\n"
        << "  --force              new and build: replace an existing IMAGE\n"
        << "  --json               list and info: print JSON\n"
        << "SPEECH, for spoken text:\n"
        << "  --voice NAME         a language or a voice's name as `voices` lists them, a\n"
        << "                       variant after '+' (ru+f3); default ru, Russian\n"
        << "  --speed WPM          words per minute, 80 to 450 (default 175)\n"
        << "  --pitch 0-99         the voice's pitch (default 50)\n"
        << "GAIN, for audio files and speech:\n"
        << "  --loudness LUFS      bring the integrated loudness (EBU R128) to LUFS, -70..0\n"
        << "  --peak DBFS          bring the sample peak to DBFS, -60..0\n"
        << "  --dither             triangular dither of one 8-bit step before the PCM\n"
        << "                       formats keep their top 8 bits\n"
        << "                       Either level is limited so that nothing clips.\n"
        << "add, change, say and build report the stored fragment: duration, rate, format,\n"
        << "peak, gain, samples that would have clipped and, for ADPCM, the signal-to-noise\n"
        << "ratio of what the device plays.\n"
        << "\nManifest (build): one fragment per line, separated by TABs:\n"
        << "  FILE  FORMAT  WIDTH  DESCRIPTION\n"
        << "FILE is relative to the manifest's folder; WIDTH counts for RAW files only; the\n"
        << "description may be left out. A FILE say:TEXT speaks TEXT with build's speech\n"
        << "options; WIDTH may then be empty or left out, and the description defaults to\n"
        << "the text. Blank lines and lines starting with '#' are skipped. The first\n"
        << "refused line is named and nothing is written. A manifest is a regular file of\n"
        << "at most 512 KiB.\n"
        << "\nTexts are UTF-8 and are stored in code page 1251. A text that does not fit its\n"
        << "field, or holds characters the code page lacks, is stored cut or with \"?\" and a\n"
        << "warning on stderr says what was stored. list and info print stored texts with\n"
        << "TAB as \\t, newline as \\n, carriage return as \\r, backslash as \\\\ and every\n"
        << "other control code as \\xHH; with --json they are JSON strings as stored.\n"
        << "Only copyright changes the copyright.\n"
        << "\nCommands that change IMAGE hold it alone until their save is done; the others\n"
        << "share it. A command waits up to " << kLockPatience.count()
        << " seconds for another one on the same image,\n"
        << "then gives up (exit status 1) and leaves the image as it was.\n\n"
        << "Exit status: 0 success, 1 refused, 2 wrong usage, 3 input/output error,\n"
        << "130 play stopped by Ctrl+C.\n";
}

void PrintUsageHint(std::ostream& err, const Command* command) {
    if (command) {
        err << "Usage: " << kProgram << ' ' << command->name << ' ' << command->synopsis << '\n';
    } else {
        err << "Try '" << kProgram << " --help'.\n";
    }
}

int RunCommand(const Command& command, std::span<const std::string> args, std::ostream& out,
               std::ostream& err) {
    const Arguments parsed = ParseArguments(args, command.options);
    if (parsed.positional.size() < command.minPositional) {
        throw UsageError(std::string(command.name) + ": missing arguments");
    }
    if (parsed.positional.size() > command.maxPositional) {
        throw UsageError(std::string(command.name) + ": too many arguments");
    }
    return command.run({parsed, out, err});
}

}  // namespace

int RunCli(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kProgram << ": no command given\n";
        PrintUsageHint(err, nullptr);
        return kWrongUsage;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        PrintHelp(out);
        return kSuccess;
    }
    if (args[0] == "--version") {
        out << kProgram << ' ' << SONABANK_VERSION << '\n';
        return kSuccess;
    }
    const auto commands = Commands();
    const auto command = std::find_if(commands.begin(), commands.end(),
                                      [&](const Command& c) { return c.name == args[0]; });
    if (command == commands.end()) {
        err << kProgram << ": unknown command \"" << args[0] << "\"\n";
        PrintUsageHint(err, nullptr);
        return kWrongUsage;
    }

    int status = kSuccess;
    try {
        status = RunCommand(*command, args.subspan(1), out, err);
    } catch (const CliFailure& failure) {
        err << failure.what() << '\n';
        if (failure.status() == kWrongUsage) PrintUsageHint(err, &*command);
        return failure.status();
    } catch (const std::bad_alloc&) {
        err << kProgram << ": out of memory\n";
        return kIoFailure;
    } catch (const std::exception& error) {
        // Every failure the commands expect names its file; this is what
        // they did not expect, which still ends with a message.
        err << kProgram << ": " << error.what() << '\n';
        return kIoFailure;
    }
    // Output that never arrived (a full disk behind a redirection, a closed
    // standard output) is an input/output error, not a success.
    errno = 0;
    out.flush();
    if (!out) {
        const int error = errno;
        err << "standard output: "
            << (error == EBADF ? std::string("closed")
                : error != 0   ? std::strerror(error)
                               : "cannot be written")
            << '\n';
        return kIoFailure;
    }
    return status;
}

}  // namespace sonabank::cli
