// mkkit: makes distribution kits from a directory tree and lists kits.
#include <time.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

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
    "list  reads KIT as the setup program does and prints its descriptions and\n"
    "      entries (size in bytes, time in UTC).\n"
    "\n"
    "Exit status: 0 done, 1 failed, 2 wrong usage.\n";

void Print(FILE* stream, const U16String& text) {
  NarrowString narrow = ToNarrow(text);
  std::fwrite(narrow.Data(), 1, narrow.Length(), stream);
}

int Usage(const char* problem) {
  std::fprintf(stderr, "mkkit: %s\n", problem);
  std::fprintf(stderr, "Try 'mkkit --help'.\n");
  return kExitUsage;
}

int Fail(const U16String& message) {
  std::fputs("mkkit: ", stderr);
  Print(stderr, message);
  std::fputs("\n", stderr);
  return kExitFailure;
}

U16String Arg(const char* text) {
  return FromNarrow(text);
}

int Pack(int argc, char** argv) {
  U16String output;
  U16String directory;
  bool haveDirectory = false;
  PackOptions options;
  for (int i = 2; i < argc; ++i) {
    const char* arg = argv[i];
    int left = argc - i - 1;
    if (std::strcmp(arg, "-o") == 0) {
      if (left < 1) return Usage("-o needs a kit path");
      output = Arg(argv[++i]);
    } else if (std::strcmp(arg, "--single") == 0) {
      options.single = true;
    } else if (std::strcmp(arg, "--describe") == 0) {
      if (left < 4) return Usage("--describe needs CODE PRODUCT VENDOR LINK");
      KitDescription description;
      description.languageCode = Arg(argv[i + 1]);
      description.productName = Arg(argv[i + 2]);
      description.vendorName = Arg(argv[i + 3]);
      description.descriptionLink = Arg(argv[i + 4]);
      options.descriptions.push_back(description);
      i += 4;
    } else if (std::strcmp(arg, "--level") == 0) {
      if (left < 1) return Usage("--level needs a number from 0 to 9");
      const char* level = argv[++i];
      if (std::strlen(level) != 1 || level[0] < '0' || level[0] > '9')
        return Usage("--level needs a number from 0 to 9");
      options.level = level[0] - '0';
    } else if (arg[0] == '-' && arg[1] != 0) {
      return Usage("unknown option for pack");
    } else if (haveDirectory) {
      return Usage("pack takes one directory");
    } else {
      directory = Arg(arg);
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

U16String UtcTime(FileTime time) {
  int64_t seconds = static_cast<int64_t>(time / 10000000) - 11644473600;
  time_t value = static_cast<time_t>(seconds);
  struct tm parts;
  char text[64];
  if (gmtime_r(&value, &parts) == nullptr ||
      std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts) == 0)
    return FromNarrow("?");
  return FromNarrow(text);
}

int List(int argc, char** argv) {
  if (argc != 3) return Usage("list takes one kit path");
  U16String path = Arg(argv[2]);
  DistributionKit kit;
  uint32_t result = ReadKit(kit, path);
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
    out += FromNarrow("  ") + UtcTime(e.lastWriteTime) + FromNarrow("  ") + Number(e.size) +
           FromNarrow("  ") + e.name + u'\n';
  }
  Print(stdout, out);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  if (argc < 2) return Usage("no command given");
  const char* command = argv[1];
  if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0 ||
      std::strcmp(command, "help") == 0) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (std::strcmp(command, "pack") == 0) return Pack(argc, argv);
  if (std::strcmp(command, "list") == 0) return List(argc, argv);
  return Usage("unknown command");
}
