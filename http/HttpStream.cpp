#include "http/HttpStream.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <string>

namespace {

bool SendAll(int Socket, const std::string &Bytes) {
  size_t Done = 0;
  while (Done < Bytes.size()) {
    ssize_t Wrote = send(Socket, Bytes.data() + Done, Bytes.size() - Done, MSG_NOSIGNAL);
    if (Wrote <= 0) {
      if (Wrote < 0 && errno == EINTR) {
        continue;
      }
      return false;
    }
    Done += static_cast<size_t>(Wrote);
  }
  return true;
}

}  // namespace

void ServeHttpStream(int Socket, const HTTP_HANDLER &Handler, const std::atomic<bool> &Stop) {
  HttpRequestParser Parser;
  char Buffer[65536];
  while (!Stop) {
    pollfd Wanted = {Socket, POLLIN, 0};
    if (poll(&Wanted, 1, 10) <= 0) {
      continue;
    }
    ssize_t Read = recv(Socket, Buffer, sizeof(Buffer), 0);
    if (Read == 0 || (Read < 0 && errno != EINTR && errno != EAGAIN)) {
      return;
    }
    size_t Offset = 0;
    while (Read > 0 && Offset < static_cast<size_t>(Read)) {
      Offset += Parser.Feed(Buffer + Offset, static_cast<size_t>(Read) - Offset);
      std::string Reply;
      if (Parser.State() == HttpRequestParser::STATE::Error) {
        Reply = HttpResponseText(Parser.ErrorCode(), {}, Parser.ErrorText(), false);
        // The stream goes on: the next request starts after what was read.
        Parser = HttpRequestParser();
        Offset = static_cast<size_t>(Read);
      } else if (Parser.State() == HttpRequestParser::STATE::Done) {
        HttpRequest Request = Parser.Take();
        HttpAnswer Answer = Handler(Request);
        if (Answer.Drop) {
          // Nothing can be left unanswered on a shared stream: an empty
          // answer that fails the request takes its place.
          Answer = HttpAnswer();
          Answer.Code = 503;
        }
        Reply = HttpResponseText(Answer.Code, Answer.Fields, Answer.Body, Request.Method == "HEAD");
      } else {
        continue;
      }
      if (!SendAll(Socket, Reply)) {
        return;
      }
    }
  }
}
