/// \class vesk::RefBase RefBase.h <vesk/RefBase.h>
/// RefBase: the counting part of a handle's shared record. The count is a plain signed
/// integer, so handles that share a record belong to one thread at a time.
#ifndef VESK_REFBASE_H
#define VESK_REFBASE_H

// GCC 12 cannot see that a record's count stays above 0 while a handle still uses it, and
// warns of a use after free where handles to one record go out of scope one after another.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 12
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"
#endif

namespace vesk {

template <class T>
class RefBase {
 public:
  RefBase() noexcept = default;
  RefBase(const RefBase&) = delete;
  RefBase& operator=(const RefBase&) = delete;
  virtual ~RefBase() = default;

  /// The number of handles that share the record.
  long count() const noexcept { return count_; }
  /// Adds a handle and answers the new count.
  long addReference() noexcept { return ++count_; }
  /// Takes a handle away and answers the new count; the record goes at 0.
  long dropReference() noexcept { return --count_; }

  /// The version text of the class.
  virtual const char* version() const { return "RefBase 1.0, 16.08.1999"; }

 private:
  long count_ = 1;
};

}  // namespace vesk

#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 12
#pragma GCC diagnostic pop
#endif

#endif  // VESK_REFBASE_H
