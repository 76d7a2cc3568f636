// DMTF's Base message registry, as the twin uses it: one table of the
// messages it sends (the key, the text with its %1 arguments, the severity
// and the resolution, as the registry publishes them), from which every
// error body, every task message and the registry document the twin serves
// under /redfish/v1/Registries are made.
#pragma once

#include <string>
#include <vector>

#include "server/RedfishStore.h"

struct BASE_MESSAGE {
  const char *Key;  ///< "PropertyUnknown"
  const char *Message;
  unsigned Arguments;
  const char *Severity;  ///< "OK", "Warning" or "Critical"
  const char *Resolution;
};

/// The registry's version ("1.19.0"), and its messages.
extern const char BASE_REGISTRY_VERSION[];
const std::vector<BASE_MESSAGE> &BaseMessages();

/// "Base.<major>.<minor>.<Key>", the MessageId of a message.
std::string BaseMessageId(const std::string &Key);

/// A Message object (MessageId, Message with Args filled in, MessageArgs,
/// MessageSeverity, Resolution). An unknown key is GeneralError's.
Json BaseMessageObject(const std::string &Key, const std::vector<std::string> &Args);

/// The Redfish error body of one message.
std::string RedfishErrorBody(const std::string &Key, const std::vector<std::string> &Args = {});

/// An error answer: Code and the error body of the message.
StoreResponse Failure(int Code, const std::string &Key, const std::vector<std::string> &Args = {});

/// The registry itself as the twin serves it (MessageRegistry).
Json BaseRegistryDocument();
