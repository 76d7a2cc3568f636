#include "producer/ChunkedBody.h"

namespace {

int HexValue(CHAR8 Byte) {
  if (Byte >= '0' && Byte <= '9') {
    return Byte - '0';
  }
  if (Byte >= 'a' && Byte <= 'f') {
    return Byte - 'a' + 10;
  }
  if (Byte >= 'A' && Byte <= 'F') {
    return Byte - 'A' + 10;
  }
  return -1;
}

}  // namespace

UINTN ChunkedBody::Take(const CHAR8 *Raw, UINTN Length) {
  UINTN Used = 0;
  while (Used < Length && mState != CHUNKED_STATE::Done && mState != CHUNKED_STATE::Broken) {
    if (mState == CHUNKED_STATE::Data) {
      // A chunk's data goes across whole, not byte by byte.
      UINTN Run = Length - Used;
      if (Run > mChunkLeft) {
        Run = static_cast<UINTN>(mChunkLeft);
      }
      if (Run > mCapacity - mLength) {
        mState = CHUNKED_STATE::Broken;
        break;
      }
      for (UINTN Index = 0; Index < Run; Index++) {
        mOutput[mLength + Index] = Raw[Used + Index];
      }
      mLength += Run;
      mChunkLeft -= Run;
      Used += Run;
      if (mChunkLeft == 0) {
        mState = CHUNKED_STATE::DataReturn;
      }
      continue;
    }
    if (!TakeByte(Raw[Used])) {
      mState = CHUNKED_STATE::Broken;
      break;
    }
    Used++;
  }
  return Used;
}

bool ChunkedBody::TakeByte(CHAR8 Byte) {
  bool LineByte = mState == CHUNKED_STATE::Size || mState == CHUNKED_STATE::Extension ||
                  mState == CHUNKED_STATE::TrailerLine;
  if (LineByte && ++mLineLength > CHUNKED_MAX_LINE) {
    return false;
  }
  switch (mState) {
    case CHUNKED_STATE::Size:
      return TakeSizeByte(Byte);
    case CHUNKED_STATE::Extension:
      if (Byte == '\r') {
        mState = CHUNKED_STATE::SizeLineFeed;
      }
      return Byte != '\n';
    case CHUNKED_STATE::SizeLineFeed:
      if (Byte != '\n') {
        return false;
      }
      mLineLength = 0;
      mSizeDigits = 0;
      mState = mChunkLeft == 0 ? CHUNKED_STATE::Trailer : CHUNKED_STATE::Data;
      return true;
    case CHUNKED_STATE::DataReturn:
      mState = CHUNKED_STATE::DataLineFeed;
      return Byte == '\r';
    case CHUNKED_STATE::DataLineFeed:
      mState = CHUNKED_STATE::Size;
      return Byte == '\n';
    default:
      return TakeTrailerByte(Byte);
  }
}

bool ChunkedBody::TakeSizeByte(CHAR8 Byte) {
  int Digit = HexValue(Byte);
  if (Digit >= 0) {
    // Sixteen hexadecimal digits hold any size; a longer one is a lie.
    if (++mSizeDigits > 16) {
      return false;
    }
    mChunkLeft = mChunkLeft * 16 + static_cast<UINT64>(Digit);
    return true;
  }
  if (mSizeDigits == 0) {
    return false;
  }
  if (Byte == ';' || Byte == ' ' || Byte == '\t') {
    mState = CHUNKED_STATE::Extension;
    return true;
  }
  mState = CHUNKED_STATE::SizeLineFeed;
  return Byte == '\r';
}

bool ChunkedBody::TakeTrailerByte(CHAR8 Byte) {
  switch (mState) {
    case CHUNKED_STATE::Trailer:
      if (Byte == '\r') {
        mState = CHUNKED_STATE::FinalFeed;
        return true;
      }
      mLineLength = 1;
      mState = CHUNKED_STATE::TrailerLine;
      return Byte != '\n';
    case CHUNKED_STATE::TrailerLine:
      if (Byte == '\r') {
        mState = CHUNKED_STATE::TrailerFeed;
      }
      return Byte != '\n';
    case CHUNKED_STATE::TrailerFeed:
      mLineLength = 0;
      mState = CHUNKED_STATE::Trailer;
      return Byte == '\n';
    case CHUNKED_STATE::FinalFeed:
      mState = CHUNKED_STATE::Done;
      return Byte == '\n';
    default:
      return false;
  }
}
