#include "PlatformCom.h"

namespace ZK::Platform
{
namespace
{
thread_local uint32_t t_apartmentInits = 0;
} // namespace

bool InitializeApartment()
{
    ++t_apartmentInits;
    return true;
}

bool UninitializeApartment()
{
    if (t_apartmentInits == 0)
        return false;
    --t_apartmentInits;
    return true;
}

uint32_t ApartmentInitCount()
{
    return t_apartmentInits;
}
} // namespace ZK::Platform
