// Owners for the JSON library's objects, and the allocator that puts the
// library onto the boot-services pool.
#pragma once

#include <cJSON.h>

#include "uefi/UefiBaseType.h"

/// Routes every allocation of the JSON library to the boot-services pool.
/// Called at entry, before the first document is parsed.
void InstallJsonAllocator();

/// Clears the record of a failed JSON allocation.
void ClearJsonAllocationFailure();

/// TRUE when a JSON allocation failed since the last clear.
bool JsonAllocationFailed();

/// Owns a parsed or built document; cJSON_Delete releases it.
class JsonDocument {
 public:
  JsonDocument() = default;
  explicit JsonDocument(cJSON *Root) : mRoot(Root) {}
  ~JsonDocument() { cJSON_Delete(mRoot); }
  JsonDocument(JsonDocument &&Other) noexcept : mRoot(Other.mRoot) { Other.mRoot = nullptr; }
  JsonDocument &operator=(JsonDocument &&) = delete;
  JsonDocument(const JsonDocument &) = delete;
  JsonDocument &operator=(const JsonDocument &) = delete;

  cJSON *Get() const { return mRoot; }
  explicit operator bool() const { return mRoot != nullptr; }

  /// Releases the document held and takes Root instead.
  void Reset(cJSON *Root) {
    cJSON_Delete(mRoot);
    mRoot = Root;
  }

 private:
  cJSON *mRoot = nullptr;
};

/// Owns text printed by the library; the library's deallocator releases it.
class JsonText {
 public:
  JsonText() = default;
  explicit JsonText(char *Text) : mText(Text) {}
  ~JsonText() {
    if (mText != nullptr) {
      cJSON_free(mText);
    }
  }
  JsonText(const JsonText &) = delete;
  JsonText &operator=(const JsonText &) = delete;

  char *Get() const { return mText; }
  explicit operator bool() const { return mText != nullptr; }

 private:
  char *mText = nullptr;
};
