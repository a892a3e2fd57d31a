#pragma once

// One property of a result record: a getter named as the property and a setter
// `set<Name>`. Records are plain values (implicitly shared Qt types inside), so a
// delivered record is independent of the scan that built it and safe to hand from
// the scan thread to the window thread.
#define RESULT_PROPERTY(Type, name, setter)                                                                  \
  public:                                                                                                    \
    const Type& name() const {                                                                               \
        return name##_;                                                                                      \
    }                                                                                                        \
    void setter(const Type& value) {                                                                         \
        name##_ = value;                                                                                     \
    }                                                                                                        \
                                                                                                             \
  private:                                                                                                   \
    Type name##_{};
