// One object of type T for each thread that asks for it, made at its first
// use and destroyed when the thread ends.
//
// Not C++ `thread_local`: built with MinGW-w64, whose thread-local storage
// is emulated, the thread-exit destructor of a thread_local object may run
// after the object's storage was freed, and a program then crashes as its
// threads end. A pthread key's destructor is handed the object itself,
// which lives on the heap, so nothing it touches is gone yet.
#pragma once

#include <pthread.h>

#include <memory>
#include <new>

namespace tuv {

template <typename T>
class per_thread {
  public:
    // Meant for a function's static: the key lives as long as the process.
    per_thread() {
        if (pthread_key_create(&key_, &destroy) != 0) throw std::bad_alloc();
    }
    per_thread(const per_thread&) = delete;
    per_thread& operator=(const per_thread&) = delete;

    // The calling thread's object.
    T& get() {
        if (void* held = pthread_getspecific(key_)) return *static_cast<T*>(held);
        auto made = std::make_unique<T>();
        if (pthread_setspecific(key_, made.get()) != 0) throw std::bad_alloc();
        return *made.release();
    }

  private:
    static void destroy(void* held) { delete static_cast<T*>(held); }

    pthread_key_t key_{};
};

}  // namespace tuv
