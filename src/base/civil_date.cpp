#include "civil_date.h"

#include <time.h>

namespace base {

double oleDateFromLocalTime(const std::tm& local, double fractionOfSecond) {
    const long long days = daysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                                         static_cast<unsigned>(local.tm_mday)) -
                           kOleDateEpoch;
    const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + fractionOfSecond;
    return static_cast<double>(days) + seconds / 86400.0;
}

double oleDateNow() {
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    return oleDateFromLocalTime(local, static_cast<double>(now.tv_nsec / 1000000) / 1000.0);
}

}  // namespace base
