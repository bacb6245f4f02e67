#include "bench/unpack/template_tree.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1Dull;
  }
  uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(Next() % bound); }
  double Unit() { return (Next() >> 11) * (1.0 / 9007199254740992.0); }

 private:
  uint64_t state_;
};

// Identifiers built from syllables, as in a real catalogue of objects.
std::vector<std::string> MakeVocabulary(Random& random, int count) {
  const char* syllables[] = {"ka",  "ta", "lo",  "gi",  "mer",  "ord", "cli",  "ent", "doc", "um",
                             "reg", "is", "ter", "pro", "duct", "acc", "ount", "sal", "es",  "inv",
                             "oi",  "ce", "bal", "an",  "wa",   "re",  "hou",  "se",  "st",  "ock"};
  std::vector<std::string> words;
  for (int i = 0; i < count; ++i) {
    std::string word;
    int parts = 2 + random.Below(3);
    for (int p = 0; p < parts; ++p) word += syllables[random.Below(30)];
    if (random.Below(3) == 0) word[0] = static_cast<char>(word[0] - 'a' + 'A');
    words.push_back(word);
  }
  return words;
}

class Generator {
 public:
  explicit Generator(uint64_t seed) : random_(seed), words_(MakeVocabulary(random_, 400)) {}

  std::string Xml(size_t size) {
    static const unsigned lengths[] = {10, 25, 50, 100, 150, 255};
    static const char* types[] = {"String", "Number", "Date", "Boolean", "Reference"};
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    Append(out, "<Template name=\"%s.%s\" version=\"%u.%u.%u\">\n", Word(), Word(),
           random_.Below(9), random_.Below(30), random_.Below(2000));
    while (out.size() < size) {
      switch (random_.Below(4)) {
        case 0:
        case 1:
          Append(out,
                 "  <Attribute id=\"%s\">\n    <Properties>\n      <Name>%s</Name>\n"
                 "      <Caption>\n        <Item lang=\"en\">%s %s</Item>\n      </Caption>\n"
                 "      <Type>%s</Type>\n      <Length>%u</Length>\n"
                 "      <Indexed>%s</Indexed>\n      <Required>false</Required>\n"
                 "    </Properties>\n  </Attribute>\n",
                 Guid().c_str(), Word(), Word(), Word(), types[random_.Below(5)],
                 lengths[random_.Below(6)], random_.Below(4) ? "false" : "true");
          break;
        case 2:
          Append(out,
                 "  <Form name=\"%s\">\n    <Item ref=\"%s\" left=\"%u\" top=\"%u\" "
                 "width=\"%u\" height=\"20\"/>\n    <Item ref=\"%s\" left=\"%u\" top=\"%u\" "
                 "width=\"%u\" height=\"20\"/>\n  </Form>\n",
                 Word(), Word(), 8 * random_.Below(40), 24 * random_.Below(20),
                 40 * (1 + random_.Below(8)), Word(), 8 * random_.Below(40), 24 * random_.Below(20),
                 40 * (1 + random_.Below(8)));
          break;
        default:
          Append(out, "  <Value key=\"%s\">%u</Value>\n", Word(), random_.Below(1000));
      }
    }
    out += "</Template>\n";
    return out;
  }

  std::string Config(size_t size) {
    std::string out;
    while (out.size() < size) {
      Append(out, "[%s]\n", Word());
      int keys = 3 + random_.Below(12);
      for (int k = 0; k < keys; ++k) {
        if (random_.Below(12) == 0) {
          Append(out, "%s=%s\n", Word(), Guid().c_str());
        } else {
          Append(out, "%s=%s %u\n", Word(), Word(), random_.Below(100));
        }
      }
      out += "\n";
    }
    return out;
  }

  std::string Script(size_t size) {
    std::string out;
    while (out.size() < size) {
      Append(out, "Procedure %s(%s, %s)\n", Word(), Word(), Word());
      int lines = 2 + random_.Below(10);
      for (int l = 0; l < lines; ++l) {
        Append(out, "\t%s = %s.%s(%u);\n", Word(), Word(), Word(), random_.Below(1000));
      }
      out += "EndProcedure\n\n";
    }
    return out;
  }

  // Pictures and packed data: a smooth part that compresses a little and a
  // noisy part that hardly compresses.
  std::string Blob(size_t size) {
    std::string out(size, '\0');
    uint32_t level = random_.Below(256);
    for (size_t i = 0; i < size; ++i) {
      if ((i / 4096) % 8 == 7) {
        out[i] = static_cast<char>(random_.Next());
      } else {
        if (random_.Below(8) == 0) level += random_.Below(5) - 2;
        out[i] = static_cast<char>(level + ((i % 3) << 6));
      }
    }
    return out;
  }

  std::string File(size_t size, const char** extension) {
    uint32_t kind = random_.Below(20);
    if (kind < 9) {
      *extension = ".xml";
      return Xml(size);
    }
    if (kind < 14) {
      *extension = ".cfg";
      return Config(size);
    }
    if (kind < 19) {
      *extension = ".bsl";
      return Script(size);
    }
    *extension = ".bin";
    return Blob(size);
  }

  // Few words are common and most are rare, as in real catalogues.
  const char* Word() {
    double u = random_.Unit();
    return words_[static_cast<size_t>(u * u * u * static_cast<double>(words_.size()))].c_str();
  }
  Random& random() { return random_; }

 private:
  std::string Guid() {
    char text[40];
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%04x-%012llx",
                  static_cast<unsigned>(random_.Next()), random_.Below(65536), random_.Below(65536),
                  random_.Below(65536),
                  static_cast<unsigned long long>(random_.Next() & 0xFFFFFFFFFFFFull));
    return text;
  }
  template <typename... Args>
  void Append(std::string& out, const char* format, Args... args) {
    char line[512];
    int n = std::snprintf(line, sizeof line, format, args...);
    if (n > 0) out.append(line, static_cast<size_t>(n) < sizeof line ? n : sizeof line - 1);
  }

  Random random_;
  std::vector<std::string> words_;
};

}  // namespace

long GenerateTemplateTree(const std::string& directory, uint64_t totalBytes, uint64_t seed) {
  Generator generator(seed);
  Random& random = generator.random();
  std::vector<std::string> folders;
  for (int i = 0; i < 12; ++i) {
    std::string top = directory + "/" + generator.Word() + std::to_string(i);
    ::mkdir(top.c_str(), 0755);
    folders.push_back(top);
    for (int j = 0; j < 4; ++j) {
      std::string sub = top + "/" + generator.Word() + std::to_string(j);
      ::mkdir(sub.c_str(), 0755);
      folders.push_back(sub);
    }
  }
  uint64_t written = 0;
  long files = 0;
  while (written < totalBytes) {
    // Sizes spread evenly on a log scale from 256 bytes to 2 MiB.
    size_t size = static_cast<size_t>(256.0 * std::exp(random.Unit() * std::log(8192.0)));
    const char* extension = "";
    std::string content = generator.File(size, &extension);
    std::string path = folders[random.Below(static_cast<uint32_t>(folders.size()))] + "/" +
                       generator.Word() + std::to_string(files) + extension;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return -1;
    bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    if (std::fclose(file) != 0 || !ok) return -1;
    written += content.size();
    ++files;
  }
  return files;
}
