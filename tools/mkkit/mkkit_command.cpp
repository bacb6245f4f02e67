// mkkit: makes distribution kits from a directory tree and lists kits.
#include "tools/mkkit/mkkit_command.h"

#include <cstdio>

#include "core/distribution_kit.h"
#include "tools/mkkit/directory_packer.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char kHelp[] =
    "Usage:\n"
    "  mkkit pack -o KIT [--single] [--describe CODE PRODUCT VENDOR LINK]...\n"
    "             [--level N] DIR\n"
    "  mkkit list KIT\n"
    "  mkkit --help\n"
    "\n"
    "pack  writes the kit KIT from every regular file under DIR (recursively;\n"
    "      links to files are followed, links to directories are not). Each file\n"
    "      becomes an entry named by its path relative to DIR with \"\\\" as the\n"
    "      separator, with its modification time in whole seconds; entries are\n"
    "      sorted by name. Each --describe adds a description: a language code\n"
    "      such as en or ru, the product name, the vendor name and the path of\n"
    "      the description file relative to the template directory (\"\\\"\n"
    "      separated). --single writes the one-description header instead of the\n"
    "      list (exactly one --describe; it is read as English). --level sets the\n"
    "      raw deflate level, 0 to 9 (default 9). Names that could leave the\n"
    "      template directory, file names holding \"\\\", files of 4 GiB or more\n"
    "      and kits that would inflate to more than 4 GiB are refused.\n"
    "      Every description and entry record carries CRC-32 checksums of\n"
    "      itself (and of the entry's data) in the record bytes that every kit\n"
    "      reader skips; the setup program refuses a kit whose checksums do\n"
    "      not hold before it writes anything.\n"
    "list  reads KIT as the setup program does and prints its descriptions and\n"
    "      entries (size in bytes, time in UTC), in the locale's encoding on\n"
    "      Linux and in UTF-8 on Windows, and whether the kit carries\n"
    "      checksums; a kit whose checksums do not hold is reported as damaged.\n"
    "\n"
    "Exit status: 0 done, 1 failed, 2 wrong usage.\n";

int Usage(const char* problem) {
  std::fprintf(stderr, "mkkit: %s\n", problem);
  std::fprintf(stderr, "Try 'mkkit --help'.\n");
  return kExitUsage;
}

int Fail(const U16String& message) {
  std::fputs("mkkit: ", stderr);
  WriteText(stderr, message);
  std::fputs("\n", stderr);
  return kExitFailure;
}

int Pack(const std::vector<U16String>& argv) {
  const size_t argc = argv.size();
  U16String output;
  U16String directory;
  bool haveDirectory = false;
  PackOptions options;
  for (size_t i = 2; i < argc; ++i) {
    const U16String& arg = argv[i];
    size_t left = argc - i - 1;
    if (arg == u"-o") {
      if (left < 1) return Usage("-o needs a kit path");
      output = argv[++i];
    } else if (arg == u"--single") {
      options.single = true;
    } else if (arg == u"--describe") {
      if (left < 4) return Usage("--describe needs CODE PRODUCT VENDOR LINK");
      KitDescription description;
      description.languageCode = argv[i + 1];
      description.productName = argv[i + 2];
      description.vendorName = argv[i + 3];
      description.descriptionLink = argv[i + 4];
      options.descriptions.push_back(description);
      i += 4;
    } else if (arg == u"--level") {
      if (left < 1) return Usage("--level needs a number from 0 to 9");
      const U16String& level = argv[++i];
      if (level.Length() != 1 || level[0] < u'0' || level[0] > u'9')
        return Usage("--level needs a number from 0 to 9");
      options.level = level[0] - u'0';
    } else if (arg.Length() > 1 && arg[0] == u'-') {
      return Usage("unknown option for pack");
    } else if (haveDirectory) {
      return Usage("pack takes one directory");
    } else {
      directory = arg;
      haveDirectory = true;
    }
  }
  if (output.IsEmpty()) return Usage("pack needs -o KIT");
  if (!haveDirectory) return Usage("pack needs a directory");
  if (options.single && options.descriptions.size() != 1)
    return Usage("--single needs exactly one --describe");

  U16String error;
  if (!PackDirectory(output, options, directory, &error)) return Fail(error);
  return 0;
}

U16String Number(uint64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(value));
  return FromNarrow(text);
}

// Which check of the checksums failed, and for which record.
U16String ChecksumFault(const KitChecksumReport& report) {
  U16String record =
      Number(report.index + 1) + FromNarrow(" (\"") + report.record + FromNarrow("\")");
  switch (report.fault) {
    case KitChecksumFault::kNone:
      break;
    case KitChecksumFault::kDescriptionRecord:
      return FromNarrow("description ") + record + FromNarrow(" does not match its checksum");
    case KitChecksumFault::kEntryRecord:
      return FromNarrow("the record of entry ") + record +
             FromNarrow(" does not match its checksum");
    case KitChecksumFault::kEntryData:
      return FromNarrow("the data of entry ") + record + FromNarrow(" do not match their checksum");
    case KitChecksumFault::kDescriptionBlock:
      return FromNarrow("description ") + record + FromNarrow(" lacks a whole checksum block");
    case KitChecksumFault::kEntryBlock:
      return FromNarrow("entry ") + record + FromNarrow(" lacks a whole checksum block");
    case KitChecksumFault::kDataAfterEntries:
      return FromNarrow("the data area runs on after the last entry's data");
  }
  return U16String();
}

int List(const std::vector<U16String>& argv) {
  if (argv.size() != 3) return Usage("list takes one kit path");
  const U16String& path = argv[2];
  DistributionKit kit;
  KitChecksumReport checksums;
  uint32_t result = ReadKit(kit, path, &checksums);
  if (result != 0 && checksums.fault != KitChecksumFault::kNone) {
    return Fail(FromNarrow("\"") + path + FromNarrow("\" is damaged: its checksums do not hold: ") +
                ChecksumFault(checksums));
  }
  if (result != 0) {
    return Fail(FromNarrow("\"") + path + FromNarrow("\" cannot be read as a kit (error ") +
                Number(result) + FromNarrow(")"));
  }
  U16String out = FromNarrow("Descriptions: ") + Number(kit.descriptions.size()) + u'\n';
  for (const KitDescription& d : kit.descriptions) {
    out += FromNarrow("  ") + d.languageCode + FromNarrow(": product \"") + d.productName +
           FromNarrow("\", vendor \"") + d.vendorName + FromNarrow("\", link \"") +
           d.descriptionLink + FromNarrow("\"\n");
  }
  out += FromNarrow("Entries: ") + Number(kit.entries.size()) + u'\n';
  for (const KitEntry& e : kit.entries) {
    out += FromNarrow("  ") + UtcTimeText(e.lastWriteTime) + FromNarrow("  ") + Number(e.size) +
           FromNarrow("  ") + e.name + u'\n';
  }
  out += FromNarrow(checksums.carried ? "Checksums: present, all hold\n" : "Checksums: none\n");
  WriteText(stdout, out);
  return 0;
}

}  // namespace

int RunMkkit(const std::vector<U16String>& arguments) {
  if (arguments.size() < 2) return Usage("no command given");
  const U16String& command = arguments[1];
  if (command == u"--help" || command == u"-h" || command == u"help") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (command == u"pack") return Pack(arguments);
  if (command == u"list") return List(arguments);
  return Usage("unknown command");
}
