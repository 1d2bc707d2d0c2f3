/// \class vesk::SmartBase SmartBase.h <vesk/SmartBase.h>
/// SmartBase: a counted handle to an object of type T, through a shared record of type R
/// (ObjRef<T>). A handle always has a record: making one from a raw pointer, null included,
/// allocates a record with count 1. Copies share the record and add one to its count; when
/// the last handle of a record goes, the record goes, and with it the object. Handles and
/// their records belong to one thread at a time.
#ifndef VESK_SMARTBASE_H
#define VESK_SMARTBASE_H

namespace vesk {

template <class T, class R>
class SmartBase {
 public:
  /// Takes ownership of `object`; throws std::bad_alloc, deleting `object`, when the record
  /// cannot be allocated.
  explicit SmartBase(T* object = nullptr) : record_(makeRecord(object)) {}
  /// Shares the record of `other`, adding one to its count.
  SmartBase(const SmartBase& other) noexcept : record_(other.record_) { record_->addReference(); }
  /// Shares the record of `other`, letting go of the one held before.
  SmartBase& operator=(const SmartBase& other) noexcept {
    if (record_ != other.record_) {
      other.record_->addReference();
      release();
      record_ = other.record_;
    }
    return *this;
  }
  virtual ~SmartBase() { release(); }

  /// The object, null for none.
  T* get() const noexcept { return record_->get(); }
  /// The object's members.
  T* operator->() const noexcept { return record_->get(); }
  /// The object; the handle must hold one.
  T& operator*() const noexcept { return *record_->get(); }
  /// Whether the handle holds an object.
  explicit operator bool() const noexcept { return record_->get() != nullptr; }
  /// The number of handles that share this handle's record.
  long useCount() const noexcept { return record_->count(); }

  /// Whether the handles hold the same object.
  friend bool operator==(const SmartBase& a, const SmartBase& b) noexcept {
    return a.get() == b.get();
  }

  /// The version text of the class.
  virtual const char* version() const { return "SmartBase 1.0, 10.09.1999"; }

 private:
  static R* makeRecord(T* object) {
    try {
      return new R(object);
    } catch (...) {
      delete object;
      throw;
    }
  }

  void release() noexcept {
    if (record_->dropReference() == 0) {
      delete record_;
    }
  }

  R* record_;
};

}  // namespace vesk

#endif  // VESK_SMARTBASE_H
