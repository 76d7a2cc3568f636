// Shared fixture of the NVDIMM component tests: a fake of boot services whose
// pool is malloc/free (every other service aborts the test), a host that
// counts the platform brackets and hand-overs, and a trace whose lines are
// kept.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "sim/common/ExactJson.h"
#include "sim/nvdimm/NvdimmComponent.h"

class FakeBootServices {
 public:
  FakeBootServices() {
    // Every slot but the pool and the TPL traps, so that a stray service
    // call fails loudly instead of jumping through a null pointer.
    auto **Slots = reinterpret_cast<void **>(&mTable);
    for (size_t Index = 0; Index < sizeof(mTable) / sizeof(void *); Index++) {
      Slots[Index] = reinterpret_cast<void *>(&Unexpected);
    }
    std::memset(&mTable.Hdr, 0, sizeof(mTable.Hdr));
    mTable.AllocatePool = &AllocatePool;
    mTable.FreePool = &FreePool;
    mTable.RaiseTPL = &RaiseTpl;
    mTable.RestoreTPL = &RestoreTpl;
    mCurrent = this;
  }
  ~FakeBootServices() { mCurrent = nullptr; }

  EFI_BOOT_SERVICES *Table() { return &mTable; }
  const std::set<void *> &Live() const { return mLive; }
  /// Makes the next allocation fail.
  void FailNext() { mFailNext = true; }

 private:
  static void EFIAPI Unexpected() {
    std::fprintf(stderr, "unexpected boot service call\n");
    std::abort();
  }
  static EFI_STATUS EFIAPI AllocatePool(EFI_MEMORY_TYPE, UINTN Size, VOID **Buffer) {
    if (mCurrent->mFailNext) {
      mCurrent->mFailNext = false;
      return EFI_OUT_OF_RESOURCES;
    }
    *Buffer = std::malloc(Size == 0 ? 1 : Size);
    mCurrent->mLive.insert(*Buffer);
    return EFI_SUCCESS;
  }
  static EFI_STATUS EFIAPI FreePool(VOID *Buffer) {
    if (mCurrent->mLive.erase(Buffer) == 0) {
      ADD_FAILURE() << "FreePool of a block the pool did not hand out";
      return EFI_INVALID_PARAMETER;
    }
    std::free(Buffer);
    return EFI_SUCCESS;
  }

  // The component's trace events ask for the TPL; it stays TPL_APPLICATION.
  static EFI_TPL EFIAPI RaiseTpl(EFI_TPL) { return TPL_APPLICATION; }
  static VOID EFIAPI RestoreTpl(EFI_TPL) {}

  static inline FakeBootServices *mCurrent = nullptr;
  EFI_BOOT_SERVICES mTable;
  std::set<void *> mLive;
  bool mFailNext = false;
};

class NvdimmFixture : public ::testing::Test {
 protected:
  /// Reads NvdimmJson (the scenario's "nvdimm" member; null: absent), makes
  /// the component and starts its first boot.
  void Start(const char *NvdimmJson = nullptr) {
    if (NvdimmJson != nullptr) {
      char Error[200] = "";
      mDocument = ExactJsonParse(NvdimmJson, std::strlen(NvdimmJson), Error, sizeof(Error));
      ASSERT_NE(mDocument, nullptr) << Error;
    }
    char Error[200] = "";
    ASSERT_TRUE(NvdimmReadConfig(mDocument, &mConfig, Error, sizeof(Error))) << Error;
    mComponent = std::make_unique<NvdimmComponent>(mConfig, mHost, mTrace);
    mProtocol = mComponent->BeginBoot();
  }

  /// Starts the next boot of the same component.
  void Reboot() {
    mTrace.SetBoot(mTrace.Boot() + 1);
    mProtocol = mComponent->BeginBoot();
  }

  void TearDown() override {
    mComponent.reset();
    NvdimmFreeConfig(&mConfig);
    cJSON_Delete(mDocument);
    EXPECT_TRUE(mBoot.Live().empty()) << "pool blocks left: " << mBoot.Live().size();
    EXPECT_EQ(mEnters, mLeaves);
  }

  /// The trace lines written so far.
  std::vector<std::string> Lines() const {
    std::vector<std::string> Result;
    std::istringstream Stream(mTraceText);
    for (std::string Line; std::getline(Stream, Line);) {
      Result.push_back(Line);
    }
    return Result;
  }
  std::string LastLine() const {
    auto All = Lines();
    return All.empty() ? std::string() : All.back();
  }

  EFI_STATUS CreateNamespace(UINT32 Region, const char *Name, UINT64 MiB,
                             const char *Mode = "fsdax") {
    std::memset(mError, 0, sizeof(mError));
    return mProtocol->CreateNamespace(Region, const_cast<CHAR8 *>(Name), MiB,
                                      const_cast<CHAR8 *>(Mode), mError);
  }
  EFI_STATUS DeleteNamespace(UINT16 Id) {
    std::memset(mError, 0, sizeof(mError));
    return mProtocol->DeleteNamespace(Id, mError);
  }
  EFI_STATUS CreateGoal(const char *Level, UINT32 MemoryMode, UINT32 Reserved, const char *Type) {
    std::memset(mError, 0, sizeof(mError));
    return mProtocol->CreateGoal(const_cast<CHAR8 *>(Level), MemoryMode, Reserved,
                                 const_cast<CHAR8 *>(Type), mError);
  }
  EFI_STATUS ErasePcd(UINT16 *DimmId) {
    std::memset(mError, 0, sizeof(mError));
    mList = {};
    return mProtocol->DeletePlatformConfigurationData(DimmId == nullptr, DimmId, mError, &mList);
  }
  /// Runs diagnostics; the result message lands in mResult and is freed as
  /// the driver does.
  EFI_STATUS Diagnose(BOOLEAN All, UINT16 DimmId, const char *Tests) {
    CHAR8 *Message = nullptr;
    EFI_STATUS Status =
        mProtocol->RunDiagnostics(All, &DimmId, const_cast<CHAR8 *>(Tests), &Message);
    mHasResult = Message != nullptr;
    mResult = mHasResult ? Message : "";
    if (Message != nullptr) {
      EXPECT_TRUE(mHandedOver.count(Message) == 1) << "result not handed to the driver";
      mHandedOver.erase(Message);
      EXPECT_EQ(mBoot.Table()->FreePool(Message), EFI_SUCCESS);
    }
    return Status;
  }
  std::vector<std::pair<UINT64, std::string>> ResultList() const {
    std::vector<std::pair<UINT64, std::string>> Entries;
    for (UINT64 Index = 0; Index < mList.Count; Index++) {
      Entries.emplace_back(mList.Results[Index].DimmId, mList.Results[Index].Status);
    }
    return Entries;
  }

  FakeBootServices mBoot;
  int mEnters = 0;
  int mLeaves = 0;
  std::set<void *> mHandedOver;
  PlatformHost mHost = {mBoot.Table(),
                        [](void *Self) { static_cast<NvdimmFixture *>(Self)->mEnters++; },
                        [](void *Self) { static_cast<NvdimmFixture *>(Self)->mLeaves++; },
                        [](void *Self, void *Block) {
                          static_cast<NvdimmFixture *>(Self)->mHandedOver.insert(Block);
                        },
                        nullptr,
                        nullptr,
                        this};
  std::string mTraceText;
  Trace mTrace{{[](void *Self, const CHAR8 *Bytes, UINTN Length) {
                  static_cast<NvdimmFixture *>(Self)->mTraceText.append(Bytes, Length);
                },
                this},
               {nullptr, nullptr}};
  cJSON *mDocument = nullptr;
  NvdimmConfig mConfig;
  std::unique_ptr<NvdimmComponent> mComponent;
  NVDIMM_ACTION_PROTOCOL *mProtocol = nullptr;
  CHAR8 mError[NVDIMM_ERROR_MESSAGE_SIZE];
  DIMM_RESULT_LIST mList = {};
  std::string mResult;
  bool mHasResult = false;
};
