// The message registries, as the twin uses them: one table of the messages
// it sends of DMTF's Base registry (the key, the text with its %1
// arguments, the severity and the resolution, as the registry publishes
// them), a few of the Task Event registry, and the twin's own VelkAction
// registry, from which every error body, every task message and the
// registry documents served under /redfish/v1/Registries are made.
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

/// 401 NoValidSession with the challenge for Basic credentials.
StoreResponse Unauthorized();

/// The answer of a change that applied: 204, the store changed.
StoreResponse Applied();

/// A registry the twin serves: DMTF's Base and Task Event (the messages the
/// twin sends of them), and the twin's own VelkAction.
struct MESSAGE_REGISTRY {
  const char *Prefix;
  const char *Version;  ///< "1.24.0"
  const char *Name;
  const char *Owner;
  const char *Description;
  const std::vector<BASE_MESSAGE> *Messages;
};
const std::vector<MESSAGE_REGISTRY> &MessageRegistries();

/// A Message object of any of those registries (GeneralError's for an
/// unknown prefix or key).
Json RegistryMessageObject(const std::string &Prefix, const std::string &Key,
                           const std::vector<std::string> &Args);

/// The registry itself as the twin serves it (MessageRegistry).
Json RegistryDocument(const MESSAGE_REGISTRY &Registry);
