#include "report/run.h"

#include <getopt.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/replace_file.h"
#include "base/version.h"
#include "report/line_gaps.h"
#include "report/page.h"
#include "report/record.h"

namespace report {

namespace {

namespace fs = std::filesystem;

constexpr char kProgram[] = "pxn32-report";
constexpr char kUsage[] =
    "usage: pxn32-report [--out FILE] [--log FILE] PATH...\n"
    "  Draws the test records that pxn32 --record writes into one HTML page that opens\n"
    "  offline and prints on A4. PATH is a record (.csv) or a folder of them.\n"
    "  --out FILE   write the page to FILE; by default report.html in the folder\n"
    "               given first, or beside the first file\n"
    "  --log FILE   the console's line log (pxn32 --log FILE): where the line dropped\n"
    "               out is shaded on the time axes\n"
    "  --help, --version\n"
    "Exit codes: 0 all read, 1 something left out (named on stderr), 2 usage error.\n";

struct Options {
  std::string out, log;
  std::vector<std::string> paths;
  bool help = false, version = false;
};

int UsageError(Said& said, const std::string& message) {
  said.err += std::string(kProgram) + ": " + message + " (see --help)\n";
  return 2;
}

// Returns 0 when the command line is good, else the exit code.
int ParseOptions(int argc, char** argv, Options& options, Said& said) {
  const option table[] = {{"out", required_argument, nullptr, 'o'},
                          {"log", required_argument, nullptr, 'l'},
                          {"help", no_argument, nullptr, 'h'},
                          {"version", no_argument, nullptr, 'v'},
                          {nullptr, 0, nullptr, 0}};
  optind = 0;  // a fresh scan, also when called again
  opterr = 0;  // our own one-line messages
  int index = 0;
  for (int code; (code = getopt_long(argc, argv, ":", table, &index)) != -1;) {
    const std::string name = std::string("--") + table[index].name;
    if (code == ':') return UsageError(said, "option '" + name + "' needs a file name");
    if (code == '?')
      return UsageError(said, "unrecognized option '" + std::string(argv[optind - 1]) + "'");
    // "--out --log x" lacks its file rather than naming one "--log" (./-name still names one).
    if ((code == 'o' || code == 'l') && (*optarg == '\0' || *optarg == '-'))
      return UsageError(said, "option '" + name + "' needs a file name" +
                                  (*optarg ? ", not '" + std::string(optarg) + "'" : ""));
    if (code == 'o') options.out = optarg;
    if (code == 'l') options.log = optarg;
    options.help = options.help || code == 'h';
    options.version = options.version || code == 'v';
  }
  options.paths.assign(argv + optind, argv + argc);
  if (options.paths.empty() && !options.help && !options.version)
    return UsageError(said, "no record or folder given");
  return 0;
}

void Complain(Said& said, std::vector<std::string>& leftOut, const std::string& path,
              const std::string& what) {
  leftOut.push_back(path + ": " + what);
  said.err += std::string(kProgram) + ": " + leftOut.back() + "\n";
}

// The records a path names: itself, or the .csv files of a folder.
std::vector<std::string> RecordFiles(const std::string& path, Said& said,
                                     std::vector<std::string>& leftOut) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error) {
    Complain(said, leftOut, path, error.message());
    return {};
  }
  if (!fs::is_directory(status)) return {path};
  std::vector<std::string> files;
  for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error))
    if (it->path().extension() == ".csv" && !fs::is_directory(it->path()))
      files.push_back(it->path().string());
  if (error)
    Complain(said, leftOut, path, error.message());
  else if (files.empty())
    Complain(said, leftOut, path, "no records (.csv files) in this folder");
  std::sort(files.begin(), files.end());
  return files;
}

std::string DefaultOut(const std::string& first) {
  std::error_code error;
  if (fs::is_directory(first, error)) return (fs::path(first) / "report.html").string();
  return (fs::path(first).parent_path() / "report.html").string();
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  if (fs::equivalent(a, b, error)) return true;
  return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error) && !error;
}


}  // namespace

int RunReport(int argc, char** argv, Said& said) {
  Options options;
  if (const int code = ParseOptions(argc, argv, options, said)) return code;
  if (options.help) {
    said.out += kUsage;
    return 0;
  }
  if (options.version) {
    said.out += std::string(kProgram) + " " + base::kVersion + "\n";
    return 0;
  }
  const std::string out = options.out.empty() ? DefaultOut(options.paths[0]) : options.out;
  std::vector<std::string> leftOut, files;
  for (const std::string& path : options.paths)
    for (std::string& file : RecordFiles(path, said, leftOut)) files.push_back(std::move(file));
  if (!options.log.empty()) files.push_back(options.log);
  for (const std::string& file : files)
    if (SameFile(file, out)) return UsageError(said, out + " is read; not writing over it");
  if (!options.log.empty()) files.pop_back();

  std::vector<LineGap> gaps;
  if (std::string text; !options.log.empty()) {
    if (const std::string error = ReadWholeFile(options.log, text); error.empty())
      gaps = ParseLineGaps(text);
    else
      Complain(said, leftOut, options.log, error);
  }
  std::vector<Record> records;
  for (const std::string& file : files) {
    ReadResult read = ReadRecordFile(file);
    for (const std::string& problem : read.problems) Complain(said, leftOut, file, problem);
    if (read.record) records.push_back(std::move(*read.record));
  }
  std::stable_sort(records.begin(), records.end(),
                   [](const Record& a, const Record& b) { return a.start > b.start; });
  if (const std::string why = base::ReplaceFile(out, ReportPage(records, gaps, leftOut), "report");
      !why.empty()) {
    said.err += std::string(kProgram) + ": " + out + ": " + why + "\n";
    return 1;
  }
  said.out += out + ": " + std::to_string(records.size()) +
              (records.size() == 1 ? " record\n" : " records\n");
  return leftOut.empty() ? 0 : 1;
}

}  // namespace report
