// One EFI_HTTP_PROTOCOL child of the emulated network, over a real socket,
// with what EDK2's HttpDxe (2022.11) does for its callers, so that a REST
// producer tried here meets what it meets in firmware:
// - Configure does no I/O, refuses a second configuration, and null resets
//   the child (the connection closed, every token forgotten, none signalled);
// - Request wants an absolute URL with a host and a path, adds no header of
//   its own and refuses none at all, connects (or reuses the connection to
//   the same host and port, unless the last answer closed it), and completes
//   its token at the next Poll;
// - Response with Data.Response reads the status and headers at once (five
//   seconds at most), hands them over in pool memory the caller frees, sets
//   the token's status to EFI_HTTP_ERROR for a status of 300 and above, and
//   maps a status the UEFI enumeration lacks to 0;
// - Response without it reads the body raw (chunked framing kept), one
//   piece at a time: bytes that came with the head at once, the rest at a
//   later Poll; BodyLength 0 once the message is complete. A body with no
//   framing is complete after its first piece, a body of Content-Length 0
//   never is (a read waits for the peer), a broken chunk leaves the token
//   pending for ever;
// - Poll fails with EFI_NOT_STARTED without a connection.
// A call above TPL_CALLBACK is recorded as a problem and fails: the stack
// raises the TPL to TPL_CALLBACK inside.
#pragma once

#include <string>

#include "http/HttpWire.h"
#include "uefi/Http.h"

class EmulatedNetwork;

class HttpChild {
 public:
  HttpChild(EmulatedNetwork &Network, EFI_HANDLE Handle);
  ~HttpChild();
  HttpChild(const HttpChild &) = delete;
  HttpChild &operator=(const HttpChild &) = delete;

  /// The record installed on the child's handle; its first member.
  EFI_HTTP_PROTOCOL *Protocol() { return &mRecord.Protocol; }

  /// Closes the connection without signalling anything (the end of a boot).
  void Drop();

 private:
  struct RECORD {
    EFI_HTTP_PROTOCOL Protocol;
    HttpChild *Child;
  };
  enum class FRAMING { None, Length, Chunked, FirstPiece };

  static HttpChild *From(EFI_HTTP_PROTOCOL *This);
  static EFI_STATUS EFIAPI GetModeDataEntry(EFI_HTTP_PROTOCOL *This, EFI_HTTP_CONFIG_DATA *Data);
  static EFI_STATUS EFIAPI ConfigureEntry(EFI_HTTP_PROTOCOL *This, EFI_HTTP_CONFIG_DATA *Data);
  static EFI_STATUS EFIAPI RequestEntry(EFI_HTTP_PROTOCOL *This, EFI_HTTP_TOKEN *Token);
  static EFI_STATUS EFIAPI CancelEntry(EFI_HTTP_PROTOCOL *This, EFI_HTTP_TOKEN *Token);
  static EFI_STATUS EFIAPI ResponseEntry(EFI_HTTP_PROTOCOL *This, EFI_HTTP_TOKEN *Token);
  static EFI_STATUS EFIAPI PollEntry(EFI_HTTP_PROTOCOL *This);

  EFI_STATUS GetModeData(EFI_HTTP_CONFIG_DATA *Data);
  EFI_STATUS Configure(EFI_HTTP_CONFIG_DATA *Data);
  EFI_STATUS Request(EFI_HTTP_TOKEN *Token);
  EFI_STATUS Cancel(EFI_HTTP_TOKEN *Token);
  EFI_STATUS Response(EFI_HTTP_TOKEN *Token);
  EFI_STATUS Poll();

  /// FALSE (and a problem) when called above TPL_CALLBACK.
  bool TplAllows(const char *Service);
  void Complete(EFI_HTTP_TOKEN *Token, EFI_STATUS Status);
  EFI_STATUS Connect(const std::string &Host, int Port);
  void CloseConnection();
  /// Reads what has arrived, waiting up to WaitMilliseconds; false when the
  /// peer closed (or the connection failed) and nothing more will come.
  bool ReadMore(int WaitMilliseconds);
  EFI_STATUS ReadHead(EFI_HTTP_TOKEN *Token);
  /// Moves up to Room bytes of this message's body from the cache into
  /// Into; returns how many.
  size_t TakeBody(char *Into, size_t Room);
  void ProgressBody();

  EmulatedNetwork &mNetwork;
  EFI_HANDLE mHandle;
  RECORD mRecord;
  bool mConfigured = false;
  EFI_HTTP_CONFIG_DATA mConfig = {};
  EFI_HTTPv4_ACCESS_POINT mAccessPoint = {};
  int mSocket = -1;
  std::string mRemoteHost;
  int mRemotePort = 0;
  bool mConnectionClose = false;
  EFI_HTTP_TOKEN *mTx = nullptr;  ///< a request not yet completed
  EFI_HTTP_TOKEN *mRx = nullptr;  ///< a body read not yet completed
  bool mRxStuck = false;          ///< the body's framing broke: it never completes
  std::string mCache;             ///< bytes read and not yet handed over
  bool mPeerClosed = false;
  EFI_HTTP_METHOD mMethod = HttpMethodGet;
  int mStatusNumber = 0;
  FRAMING mFraming = FRAMING::None;
  size_t mBodyLeft = 0;
  bool mLengthZero = false;
  ChunkedEnd mChunks;
  bool mMessageOpen = false;  ///< a response's body is still being read
};
