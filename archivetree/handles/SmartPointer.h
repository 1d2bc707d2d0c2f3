/// \class vesk::SmartPointer SmartPointer.h <vesk/SmartPointer.h>
/// SmartPointer: the node handle. A directory's child list holds one SmartPointer<TreeNode>
/// per child, and the archive stream holds its file object through one. The object lives as
/// long as any handle to it: the last handle to go deletes it (see SmartBase).
#ifndef VESK_SMARTPOINTER_H
#define VESK_SMARTPOINTER_H

#include "ObjRef.h"
#include "SmartBase.h"

namespace vesk {

template <class T>
class SmartPointer : public SmartBase<T, ObjRef<T>> {
 public:
  /// Takes ownership of `object` (see SmartBase).
  explicit SmartPointer(T* object = nullptr) : SmartBase<T, ObjRef<T>>(object) {}
  /// Shares the record of the other handle (see SmartBase).
  SmartPointer(const SmartPointer&) noexcept = default;
  /// \copydoc SmartPointer(const SmartPointer&)
  SmartPointer& operator=(const SmartPointer&) noexcept = default;
  ~SmartPointer() override = default;

  /// The version text of the class.
  const char* version() const override { return "SmartPointer 1.0, 10.09.1999"; }
};

}  // namespace vesk

#endif  // VESK_SMARTPOINTER_H
