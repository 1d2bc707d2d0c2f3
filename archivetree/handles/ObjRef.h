/// \class vesk::ObjRef ObjRef.h <vesk/ObjRef.h>
/// ObjRef: the shared record of handles to one object. It holds the raw pointer, null
/// included, and owns the object: deleting the record deletes the object through its
/// virtual destructor.
#ifndef VESK_OBJREF_H
#define VESK_OBJREF_H

#include "RefBase.h"

namespace vesk {

template <class T>
class ObjRef : public RefBase<T> {
 public:
  /// A record of `object` with count 1; it deletes the object when it is deleted.
  explicit ObjRef(T* object) noexcept : object_(object) {}
  ~ObjRef() override { delete object_; }

  /// The object, null for none.
  T* get() const noexcept { return object_; }

  /// The version text of the class.
  const char* version() const override { return "ObjRef 1.0, 16.08.1999"; }

 private:
  T* object_;
};

}  // namespace vesk

#endif  // VESK_OBJREF_H
