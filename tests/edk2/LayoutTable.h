/* The tables the two sides of the layout check fill, in C so that the side
   compiled against MdePkg can fill one too. */
#ifndef NVDIMM_LAYOUT_TABLE_H_
#define NVDIMM_LAYOUT_TABLE_H_

#ifdef __cplusplus
extern "C" {
#endif

/* One compared quantity: "sizeof EFI_BOOT_SERVICES",
   "offsetof EFI_BOOT_SERVICES.FreePool", "value TPL_NOTIFY",
   "signature EFI_BOOT_SERVICES.FreePool" (Signature.h), ... */
typedef struct {
  char Name[120];
  unsigned long long Value;
} LAYOUT_ENTRY;

#define LAYOUT_CAPACITY 1024

/* Fill Entries (LAYOUT_CAPACITY of them) and return how many were written. */
unsigned ReferenceLayout(LAYOUT_ENTRY *Entries);
unsigned DriverLayout(LAYOUT_ENTRY *Entries);
/* The reference side's "signature" entries, from a C++ translation unit. */
unsigned ReferenceSignatures(LAYOUT_ENTRY *Entries);

/* Appends one entry made of Kind, Subject and Value. */
void LayoutAdd(LAYOUT_ENTRY *Entries, unsigned *Count, const char *Kind, const char *Subject,
               unsigned long long Value);

/* Appends the GUID's two 8-byte halves, as stored in memory. */
void LayoutAddGuid(LAYOUT_ENTRY *Entries, unsigned *Count, const char *Label, const void *Guid);

/* The calling-convention check, across the two sides: each side calls a
   function of the other through its own function-pointer type and the
   callee records the arguments it received. */
typedef struct {
  unsigned long long Arguments[6];
  unsigned Calls;
} CALL_RECORD;

extern CALL_RECORD gReferenceCallee;
extern CALL_RECORD gDriverCallee;

/* The reference side's CreateEventEx-shaped callee, as a plain pointer. */
void *ReferenceCreateEventEx(void);
/* The reference side calls Function, an EFI_EVENT_NOTIFY of the driver's,
   through MdePkg's EFI_EVENT_NOTIFY type. */
void ReferenceCallEventNotify(void *Function, void *Event, void *Context);
/* The driver side's EFI_EVENT_NOTIFY-shaped callee, as a plain pointer. */
void *DriverEventNotify(void);
/* The driver side calls Function, a CreateEventEx of the reference side's,
   through the driver's EFI_CREATE_EVENT_EX type; returns its status. */
unsigned long long DriverCallCreateEventEx(void *Function);

#ifdef __cplusplus
}
#endif

#endif
