#include "server/BaseRegistry.h"

const char BASE_REGISTRY_VERSION[] = "1.24.0";

namespace {

// The messages of DMTF's Base registry 1.24.0 that the twin sends, as the
// registry words them.
const std::vector<BASE_MESSAGE> MESSAGES = {
    {"Success", "The request completed successfully.", 0, "OK", "None."},
    {"GeneralError",
     "A general error has occurred.  See Resolution for information on how to resolve the error, "
     "or @Message.ExtendedInfo if Resolution is not provided.",
     0, "Critical", "None."},
    {"Created", "The resource was created successfully.", 0, "OK", "None."},
    {"NoOperation",
     "The request body submitted contains no data to act upon and no changes to the resource "
     "took place.",
     0, "Warning", "Add properties in the JSON object and resubmit the request."},
    {"PropertyValueFormatError",
     "The value '%1' for the property '%2' is not a format that the property can accept.", 2,
     "Warning",
     "Correct the value for the property in the request body and resubmit the request if the "
     "operation failed."},
    {"ResourceAlreadyExists",
     "The requested resource of type '%1' with the property '%2' with the value '%3' already "
     "exists.",
     3, "Critical", "Do not repeat the create operation as the resource was already created."},
    {"PasswordChangeRequired",
     "The password provided for this account must be changed before access is granted.  PATCH "
     "the Password property for this account located at the target URI '%1' to complete this "
     "process.",
     1, "Critical",
     "Change the password for this account using a PATCH to the Password property at the URI "
     "provided."},
    {"PasswordIncorrectLength",
     "The password provided for this account does not meet the password length requirements of "
     "the service.",
     0, "Critical",
     "Resubmit the request with a password that meets the password length requirements as "
     "specified by the `MinPasswordLength` and `MaxPasswordLength` properties in the "
     "`AccountService` resource."},
    {"PropertyUnknown",
     "The property '%1' is not in the list of valid properties for the resource.", 1, "Warning",
     "Remove the unknown property from the request body and resubmit the request if the operation "
     "failed."},
    {"PropertyValueTypeError",
     "The value '%1' for the property '%2' is not a type that the property can accept.", 2,
     "Warning",
     "Correct the value for the property in the request body and resubmit the request if the "
     "operation failed."},
    {"PropertyValueNotInList",
     "The value '%1' for the property '%2' is not in the list of acceptable values.", 2, "Warning",
     "Choose a value from the enumeration list that the implementation can support and resubmit "
     "the request if the operation failed."},
    {"PropertyValueOutOfRange",
     "The value '%1' for the property '%2' is not in the supported range of acceptable values.", 2,
     "Warning",
     "Correct the value for the property in the request body and resubmit the request if the "
     "operation failed."},
    {"PropertyValueError", "The value provided for the property '%1' is not valid.", 1, "Warning",
     "Correct the value for the property in the request body and resubmit the request if the "
     "operation failed."},
    {"PropertyNotWritable",
     "The property '%1' is a read-only property and cannot be assigned a value.", 1, "Warning",
     "Remove the property from the request body and resubmit the request if the operation "
     "failed."},
    {"PropertyMissing",
     "The property '%1' is a required property and must be included in the request.", 1, "Warning",
     "Ensure that the property is in the request body and has a valid value and resubmit the "
     "request if the operation failed."},
    {"MalformedJSON",
     "The request body submitted was malformed JSON and could not be parsed by the receiving "
     "service.",
     0, "Critical", "Ensure that the request body is valid JSON and resubmit the request."},
    {"ActionNotSupported", "The action '%1' is not supported by the resource.", 1, "Critical",
     "Check the Actions property in the resource for the supported actions."},
    {"ActionParameterMissing",
     "The action '%1' requires the parameter '%2' to be present in the request body.", 2,
     "Critical",
     "Supply the action with the required parameter in the request body when the request is "
     "resubmitted."},
    {"ActionParameterUnknown", "The action '%1' was submitted with the invalid parameter '%2'.", 2,
     "Warning",
     "Correct the invalid action parameter and resubmit the request if the operation failed."},
    {"ActionParameterValueTypeError",
     "The value '%1' for the parameter '%2' in the action '%3' is not a type that the parameter "
     "can accept.",
     3, "Warning",
     "Correct the value for the parameter in the request body and resubmit the request if the "
     "operation failed."},
    {"ActionParameterValueNotInList",
     "The value '%1' for the parameter '%2' in the action '%3' is not in the list of acceptable "
     "values.",
     3, "Warning",
     "Choose a value from the enumeration list that the implementation can support and resubmit "
     "the request if the operation failed."},
    {"ActionParameterNotSupported",
     "The parameter '%1' for the action '%2' is not supported on the target resource.", 2,
     "Warning", "Remove the parameter supplied and resubmit the request if the operation failed."},
    {"QueryNotSupported", "Querying is not supported by the implementation.", 0, "Warning",
     "Remove the query parameters and resubmit the request if the operation failed."},
    {"QueryParameterUnsupported", "Query parameter '%1' is not supported.", 1, "Warning",
     "Correct or remove the query parameter and resubmit the request."},
    {"InsufficientPrivilege",
     "There are insufficient privileges for the account or credentials associated with the "
     "current session to perform the requested operation.",
     0, "Critical",
     "Either abandon the operation or change the associated access rights and resubmit the "
     "request if the operation failed."},
    {"InternalError",
     "The request failed due to an internal service error.  The service is still operational.", 0,
     "Critical", "Resubmit the request.  If the problem persists, consider resetting the service."},
    {"UnrecognizedRequestBody",
     "The service detected a malformed request body that it was unable to interpret.", 0, "Warning",
     "Correct the request body and resubmit the request if it failed."},
    {"ServiceTemporarilyUnavailable",
     "The service is temporarily unavailable.  Retry in %1 seconds.", 1, "Critical",
     "Wait for the indicated retry duration and retry the operation."},
    {"ResourceInUse",
     "The change to the requested resource failed because the resource is in use or in "
     "transition.",
     0, "Warning", "Remove the condition and resubmit the request if the operation failed."},
    {"ResourceNotFound", "The requested resource of type '%1' named '%2' was not found.", 2,
     "Critical", "Provide a valid resource identifier and resubmit the request."},
    {"ResourceCannotBeDeleted",
     "The delete request failed because the resource requested cannot be deleted.", 0, "Critical",
     "Do not attempt to delete a non-deletable resource."},
    {"PayloadTooLarge", "The supplied payload exceeds the maximum size supported by the service.",
     0, "Critical", "Check that the supplied payload is correct and supported by this service."},
    {"PreconditionFailed",
     "The ETag supplied did not match the ETag required to change this resource.", 0, "Critical",
     "Try the operation again using the appropriate ETag."},
    {"CreateLimitReachedForResource",
     "The create operation failed because the resource has reached the limit of possible "
     "resources.",
     0, "Critical",
     "Either delete resources and resubmit the request if the operation failed or do not "
     "resubmit the request."},
    {"NoValidSession", "There is no valid session established with the implementation.", 0,
     "Critical", "Establish a session before attempting any operations."},
    {"InsufficientStorage", "Insufficient storage or memory available to complete the request.", 0,
     "Critical",
     "Increase the free storage space available to the service and resubmit the request."},
    {"OperationNotAllowed", "The HTTP method is not allowed on this resource.", 0, "Critical",
     "None."},
    {"OperationTimeout",
     "A timeout internal to the service occurred as part of the request.  Partial results may "
     "have been returned.",
     0, "Warning",
     "Resubmit the request.  If the problem persists, consider resetting the service or "
     "provider."},
    {"SessionLimitExceeded",
     "The session establishment failed due to the number of simultaneous sessions exceeding the "
     "limit of the implementation.",
     0, "Critical",
     "Reduce the number of other sessions before trying to establish the session or increase the "
     "limit of simultaneous sessions, if supported."},
    {"HeaderInvalid", "Header '%1' is invalid.", 1, "Critical",
     "Resubmit the request with a valid request header."},
    {"SessionTerminated", "The session was successfully terminated.", 0, "OK", "None."},
};

// The TaskEvent registry's messages for the task states the twin's tasks
// take, as TaskEvent 1.1.0 words them.
const std::vector<BASE_MESSAGE> TASK_EVENT_MESSAGES = {
    {"TaskStarted", "The task with Id '%1' has started.", 1, "OK", "None."},
    {"TaskCompletedOK", "The task with Id '%1' has completed.", 1, "OK", "None."},
    {"TaskAborted", "The task with Id '%1' has completed with errors.", 1, "Critical", "None."},
    {"TaskCancelled",
     "Work on the task with Id '%1' was halted prior to completion due to an explicit request.", 1,
     "Warning", "None."},
};

// The twin's own registry: the driver's report of an action.
const std::vector<BASE_MESSAGE> VELK_MESSAGES = {
    {"ActionSucceeded", "%1", 1, "OK", "None."},
    {"ActionFailed", "%1", 1, "Critical",
     "Correct the action's parameters or the platform's condition and issue the action again."},
    {"ActionCancelled", "The action %1 was cancelled before a boot carried it out.", 1, "Warning",
     "Issue the action again to have it carried out."},
};

const std::vector<MESSAGE_REGISTRY> REGISTRIES = {
    {"Base", "1.24.0", "Base Message Registry", "DMTF",
     "The messages of DMTF's Base registry that this service sends.", &MESSAGES},
    {"TaskEvent", "1.1.0", "Task Event Message Registry", "DMTF",
     "The messages of DMTF's Task Event registry that this service's tasks carry.",
     &TASK_EVENT_MESSAGES},
    {"VelkAction", "1.0.0", "Velk NVDIMM Action Message Registry", "Velk",
     "The outcome of an NVDIMM management action as the platform firmware reported it.",
     &VELK_MESSAGES},
};

std::string Filled(const std::string &Template, const std::vector<std::string> &Args) {
  std::string Text;
  for (size_t Index = 0; Index < Template.size(); Index++) {
    if (Template[Index] == '%' && Index + 1 < Template.size() && Template[Index + 1] >= '1' &&
        Template[Index + 1] <= '9') {
      size_t Arg = static_cast<size_t>(Template[Index + 1] - '1');
      Text += Arg < Args.size() ? Args[Arg] : "";
      Index++;
    } else {
      Text.push_back(Template[Index]);
    }
  }
  return Text;
}

const BASE_MESSAGE &Find(const std::string &Key) {
  for (const BASE_MESSAGE &Message : MESSAGES) {
    if (Key == Message.Key) {
      return Message;
    }
  }
  return MESSAGES[1];  // GeneralError
}

const MESSAGE_REGISTRY *FindRegistry(const std::string &Prefix) {
  for (const MESSAGE_REGISTRY &Registry : REGISTRIES) {
    if (Prefix == Registry.Prefix) {
      return &Registry;
    }
  }
  return nullptr;
}

/// "1.24" of "1.24.0".
std::string MajorMinor(const std::string &Version) { return Version.substr(0, Version.rfind('.')); }

}  // namespace

const std::vector<MESSAGE_REGISTRY> &MessageRegistries() { return REGISTRIES; }

Json RegistryMessageObject(const std::string &Prefix, const std::string &Key,
                           const std::vector<std::string> &Args) {
  const MESSAGE_REGISTRY *Registry = FindRegistry(Prefix);
  const BASE_MESSAGE *Message = nullptr;
  for (const BASE_MESSAGE &Candidate : Registry != nullptr ? *Registry->Messages : MESSAGES) {
    Message = Key == Candidate.Key ? &Candidate : Message;
  }
  if (Registry == nullptr || Message == nullptr) {
    return BaseMessageObject("GeneralError", {});
  }
  std::vector<std::string> Given(Args.begin(), Args.end());
  Given.resize(Message->Arguments);
  Json Object = {{"@odata.type", "#Message.v1_3_0.Message"},
                 {"MessageId", std::string(Registry->Prefix) + "." + MajorMinor(Registry->Version) +
                                   "." + Message->Key},
                 {"Message", Filled(Message->Message, Given)}};
  if (Message->Arguments != 0) {
    Object["MessageArgs"] = Given;
  }
  Object["MessageSeverity"] = Message->Severity;
  Object["Resolution"] = Message->Resolution;
  return Object;
}

const std::vector<BASE_MESSAGE> &BaseMessages() { return MESSAGES; }

std::string BaseMessageId(const std::string &Key) {
  std::string Version = BASE_REGISTRY_VERSION;
  return "Base." + Version.substr(0, Version.rfind('.')) + "." + Find(Key).Key;
}

Json BaseMessageObject(const std::string &Key, const std::vector<std::string> &Args) {
  return RegistryMessageObject("Base", Find(Key).Key, Args);
}

std::string RedfishErrorBody(const std::string &Key, const std::vector<std::string> &Args) {
  Json Message = BaseMessageObject(Key, Args);
  Json Body = {{"error",
                {{"code", Message["MessageId"]},
                 {"message", Message["Message"]},
                 {"@Message.ExtendedInfo", Json::array({Message})}}}};
  return Dump(Body);
}

StoreResponse Failure(int Code, const std::string &Key, const std::vector<std::string> &Args) {
  StoreResponse Response;
  Response.Code = Code;
  Response.Body = RedfishErrorBody(Key, Args);
  return Response;
}

StoreResponse Unauthorized() {
  StoreResponse Response = Failure(401, "NoValidSession");
  Response.Headers.emplace_back("WWW-Authenticate", "Basic realm=\"nvdimm-emu\"");
  return Response;
}

StoreResponse Applied() {
  StoreResponse Response;
  Response.Code = 204;
  Response.Changed = true;
  return Response;
}

Json RegistryDocument(const MESSAGE_REGISTRY &Registry) {
  Json Messages = Json::object();
  for (const BASE_MESSAGE &Message : *Registry.Messages) {
    Json Entry = {{"Description", Message.Message},    {"Message", Message.Message},
                  {"Severity", Message.Severity},      {"MessageSeverity", Message.Severity},
                  {"NumberOfArgs", Message.Arguments}, {"Resolution", Message.Resolution}};
    if (Message.Arguments != 0) {
      Entry["ParamTypes"] = std::vector<std::string>(Message.Arguments, "string");
    }
    Messages[Message.Key] = Entry;
  }
  return Json{{"@odata.type", "#MessageRegistry.v1_6_0.MessageRegistry"},
              {"Id", std::string(Registry.Prefix) + "." + Registry.Version},
              {"Name", Registry.Name},
              {"Language", "en"},
              {"Description", Registry.Description},
              {"RegistryPrefix", Registry.Prefix},
              {"RegistryVersion", Registry.Version},
              {"OwningEntity", Registry.Owner},
              {"Messages", Messages}};
}
