// Strings of the core and the conversions at the system boundary.
//
// U16String holds UTF-16 code units; NarrowString holds bytes in the
// platform's 8-bit encoding (Linux: the environment's locale encoding;
// Windows: the ANSI code page). Both share their buffer between copies with an
// atomic count and copy it on the first change, so a copy may cross threads.
// The text is always followed by a zero unit.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

template <typename Unit>
class SharedString {
 public:
  static constexpr size_t npos = static_cast<size_t>(-1);

  SharedString() = default;
  SharedString(const Unit* text) { Assign(text, text ? LengthOf(text) : 0); }
  SharedString(const Unit* text, size_t count) { Assign(text, count); }
  SharedString(size_t count, Unit fill) {
    Reserve(count);
    for (size_t i = 0; i < count; ++i) buffer_->Units()[i] = fill;
    SetLength(count);
  }
  SharedString(const SharedString& other) : buffer_(other.buffer_) {
    if (buffer_) buffer_->refs.fetch_add(1, std::memory_order_relaxed);
  }
  SharedString(SharedString&& other) noexcept : buffer_(other.buffer_) { other.buffer_ = nullptr; }
  ~SharedString() { Release(); }

  SharedString& operator=(const SharedString& other) {
    if (buffer_ != other.buffer_) {
      SharedString copy(other);
      Swap(copy);
    }
    return *this;
  }
  SharedString& operator=(SharedString&& other) noexcept {
    if (this != &other) {
      Release();
      buffer_ = other.buffer_;
      other.buffer_ = nullptr;
    }
    return *this;
  }

  size_t Length() const { return buffer_ ? buffer_->length : 0; }
  bool IsEmpty() const { return Length() == 0; }
  // Zero-terminated text, valid until the string is changed.
  const Unit* Data() const { return buffer_ ? buffer_->Units() : EmptyText(); }
  Unit operator[](size_t index) const { return Data()[index]; }
  Unit Last() const { return IsEmpty() ? Unit(0) : Data()[Length() - 1]; }

  // Writable units; the buffer is made private to this string first.
  Unit* MutableData() {
    Unshare(Length());
    return buffer_ ? buffer_->Units() : const_cast<Unit*>(EmptyText());
  }

  void Clear() { Release(); }
  void Append(const Unit* text, size_t count) {
    if (count == 0) return;
    size_t old = Length();
    // The source may live in our own buffer, which Reserve may replace.
    SharedString keep;
    if (buffer_ && text >= buffer_->Units() && text < buffer_->Units() + buffer_->capacity)
      keep = *this;
    Reserve(old + count);
    std::memmove(buffer_->Units() + old, text, count * sizeof(Unit));
    SetLength(old + count);
  }
  void Append(const SharedString& other) { Append(other.Data(), other.Length()); }
  void Append(const Unit* text) { Append(text, LengthOf(text)); }
  void Append(Unit unit) { Append(&unit, 1); }
  SharedString& operator+=(const SharedString& other) {
    Append(other);
    return *this;
  }
  SharedString& operator+=(const Unit* text) {
    Append(text);
    return *this;
  }
  SharedString& operator+=(Unit unit) {
    Append(unit);
    return *this;
  }

  SharedString Substring(size_t position, size_t count = npos) const {
    size_t length = Length();
    if (position >= length) return SharedString();
    if (count > length - position) count = length - position;
    if (position == 0 && count == length) return *this;
    return SharedString(Data() + position, count);
  }
  // Index of the first occurrence of needle at or after from, or npos.
  size_t Find(const Unit* needle, size_t from = 0) const {
    size_t n = LengthOf(needle), length = Length();
    if (n == 0) return from <= length ? from : npos;
    for (size_t i = from; i + n <= length; ++i) {
      if (std::memcmp(Data() + i, needle, n * sizeof(Unit)) == 0) return i;
    }
    return npos;
  }
  size_t FindLast(Unit unit) const {
    for (size_t i = Length(); i > 0; --i) {
      if (Data()[i - 1] == unit) return i - 1;
    }
    return npos;
  }
  bool Contains(const Unit* needle) const { return Find(needle) != npos; }
  bool EndsWith(Unit unit) const { return !IsEmpty() && Last() == unit; }
  bool StartsWith(const Unit* prefix) const {
    size_t n = LengthOf(prefix);
    return n <= Length() && std::memcmp(Data(), prefix, n * sizeof(Unit)) == 0;
  }
  void Erase(size_t position, size_t count) {
    size_t length = Length();
    if (position >= length || count == 0) return;
    if (count > length - position) count = length - position;
    Unit* units = MutableData();
    std::memmove(units + position, units + position + count,
                 (length - position - count) * sizeof(Unit));
    SetLength(length - count);
  }
  void Insert(size_t position, const SharedString& text) {
    if (position >= Length()) {
      Append(text);
      return;
    }
    SharedString result(Data(), position);
    result.Append(text);
    result.Append(Data() + position, Length() - position);
    Swap(result);
  }
  void Truncate(size_t length) {
    if (length < Length()) {
      MutableData();
      SetLength(length);
    }
  }
  // Replaces every unit from by to.
  void ReplaceAll(Unit from, Unit to) {
    size_t length = Length();
    for (size_t i = 0; i < length; ++i) {
      if (Data()[i] == from) {
        Unit* units = MutableData();
        for (size_t j = i; j < length; ++j) {
          if (units[j] == from) units[j] = to;
        }
        return;
      }
    }
  }
  // Removes every occurrence of unit.
  void RemoveAll(Unit unit) {
    if (FindLast(unit) == npos) return;
    Unit* units = MutableData();
    size_t kept = 0, length = Length();
    for (size_t i = 0; i < length; ++i) {
      if (units[i] != unit) units[kept++] = units[i];
    }
    SetLength(kept);
  }

  friend bool operator==(const SharedString& a, const SharedString& b) {
    return a.Length() == b.Length() &&
           (a.buffer_ == b.buffer_ ||
            std::memcmp(a.Data(), b.Data(), a.Length() * sizeof(Unit)) == 0);
  }
  friend bool operator==(const SharedString& a, const Unit* b) {
    size_t n = LengthOf(b);
    return a.Length() == n && std::memcmp(a.Data(), b, n * sizeof(Unit)) == 0;
  }
  friend SharedString operator+(SharedString a, const SharedString& b) {
    a.Append(b);
    return a;
  }
  friend SharedString operator+(SharedString a, const Unit* b) {
    a.Append(b);
    return a;
  }
  friend SharedString operator+(SharedString a, Unit b) {
    a.Append(b);
    return a;
  }

  // Number of strings sharing this buffer (1 when private, 0 when empty).
  int ShareCount() const { return buffer_ ? buffer_->refs.load() : 0; }

  static size_t LengthOf(const Unit* text) {
    size_t n = 0;
    while (text[n] != 0) ++n;
    return n;
  }

 private:
  struct Buffer {
    std::atomic<int> refs;
    size_t capacity;
    size_t length;
    Unit* Units() { return reinterpret_cast<Unit*>(this + 1); }
  };

  static const Unit* EmptyText() {
    static const Unit empty[1] = {0};
    return empty;
  }
  void Swap(SharedString& other) {
    Buffer* b = buffer_;
    buffer_ = other.buffer_;
    other.buffer_ = b;
  }
  void Release() {
    if (buffer_ && buffer_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      buffer_->~Buffer();
      ::operator delete(buffer_);
    }
    buffer_ = nullptr;
  }
  static Buffer* NewBuffer(size_t capacity) {
    void* memory = ::operator new(sizeof(Buffer) + (capacity + 1) * sizeof(Unit));
    Buffer* b = new (memory) Buffer;
    b->refs.store(1, std::memory_order_relaxed);
    b->capacity = capacity;
    b->length = 0;
    b->Units()[0] = 0;
    return b;
  }
  // Makes the buffer private and able to hold capacity units.
  void Reserve(size_t capacity) {
    if (buffer_ && buffer_->refs.load(std::memory_order_acquire) == 1 &&
        buffer_->capacity >= capacity)
      return;
    Unshare(capacity);
  }
  void Unshare(size_t capacity) {
    size_t length = Length();
    if (capacity == 0 && length == 0) return;
    if (buffer_ && buffer_->refs.load(std::memory_order_acquire) == 1 &&
        buffer_->capacity >= capacity)
      return;
    size_t grown = capacity;
    if (buffer_ && capacity > buffer_->capacity) grown = capacity + capacity / 2;
    Buffer* fresh = NewBuffer(grown);
    if (length) std::memcpy(fresh->Units(), buffer_->Units(), length * sizeof(Unit));
    fresh->length = length;
    fresh->Units()[length] = 0;
    Release();
    buffer_ = fresh;
  }
  void Assign(const Unit* text, size_t count) {
    Release();
    if (count == 0) return;
    buffer_ = NewBuffer(count);
    std::memcpy(buffer_->Units(), text, count * sizeof(Unit));
    SetLength(count);
  }
  void SetLength(size_t length) {
    if (!buffer_) return;
    buffer_->length = length;
    buffer_->Units()[length] = 0;
  }

  Buffer* buffer_ = nullptr;
};

using U16String = SharedString<char16_t>;
using NarrowString = SharedString<char>;

// The text in the platform's 8-bit encoding. Never fails: see the conversion
// rules in strings_posix.cpp / strings_win32.cpp.
NarrowString ToNarrow(const U16String& text);
// The 8-bit text in 16-bit units. Never fails.
U16String FromNarrow(const char* bytes, size_t count);
inline U16String FromNarrow(const char* text) {
  return FromNarrow(text, text ? std::strlen(text) : 0);
}
inline U16String FromNarrow(const NarrowString& text) {
  return FromNarrow(text.Data(), text.Length());
}

// A stdio stream for a 16-bit path and mode, or nullptr.
FILE* OpenTextFile(const U16String& path, const U16String& mode);

// The user's home directory ("~" expanded), empty when it cannot be had.
U16String HomeDirectory();

// Negative, zero or positive as a sorts before, equal to or after b when
// letter case is ignored.
int CompareNoCase(const U16String& a, const U16String& b);
inline bool EqualNoCase(const U16String& a, const U16String& b) {
  return CompareNoCase(a, b) == 0;
}

// UTF-16 from UTF-8 source text, independent of the locale (for literals
// and data that is UTF-8 by definition).
U16String FromUtf8(const char* bytes, size_t count);
inline U16String FromUtf8(const char* text) {
  return FromUtf8(text, std::strlen(text));
}
NarrowString ToUtf8(const U16String& text);
