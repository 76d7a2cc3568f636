// The merge rule of a PATCH, written once for the two JSON libraries the
// Redfish services are built on: cJSON in the simulated service (nvdimm-emu
// run, and the platform image in OVMF), nlohmann's JSON in the twin's store
// (nvdimm-emu serve), whose threads must keep off cJSON's process-wide
// allocator, which belongs to the emulated machine.
//
// The rule: each member of the patch, in order, goes into the target. A
// member the target has, by exactly the same name, is replaced where it
// stands, unless both are objects, which merge by this same rule; a member
// the target lacks is appended. The patch is consumed.
#pragma once

/// Merges the object Patch into the object Target. TREE adapts a JSON library:
///   Node                            the type of a JSON value
///   Cursor                          a position among an object's members
///   Begin(Node *Object), AtEnd(Node *Object, Cursor), After(Cursor)
///   Name(Cursor), Value(Cursor)     the member's name and its value (Node *)
///   Find(Node *Object, Name)        the member named exactly Name, or null
///   IsObject(const Node *)
///   Put(Node *Target, Node *Existing, Node *Patch, Cursor Member)
///                                   Member's value in Existing's place, or
///                                   appended when Existing is null
template <typename TREE>
void MergeObject(typename TREE::Node *Target, typename TREE::Node *Patch) {
  for (typename TREE::Cursor Member = TREE::Begin(Patch); !TREE::AtEnd(Patch, Member);) {
    // Put may take the member out of the patch: step past it first.
    typename TREE::Cursor Next = TREE::After(Member);
    typename TREE::Node *Existing = TREE::Find(Target, TREE::Name(Member));
    if (Existing != nullptr && TREE::IsObject(Existing) && TREE::IsObject(TREE::Value(Member))) {
      MergeObject<TREE>(Existing, TREE::Value(Member));
    } else {
      TREE::Put(Target, Existing, Patch, Member);
    }
    Member = Next;
  }
}
