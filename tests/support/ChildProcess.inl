#include <thread>

template <typename Predicate>
bool WaitFor(Predicate&& Condition, std::chrono::milliseconds Timeout,
             std::chrono::milliseconds Step) {
    const auto deadline = std::chrono::steady_clock::now() + Timeout;
    for (;;) {
        if (Condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(Step);
    }
}
