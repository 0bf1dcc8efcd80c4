// How long the reliability tests run: a CI-sized default, or what the
// environment asks for (the long runs of scripts/soak.sh, for instance).
#ifndef ORDELIN_TESTS_RELIABILITY_KNOBS_H
#define ORDELIN_TESTS_RELIABILITY_KNOBS_H

#include <cstdlib>

inline double fromEnvironment(const char *name, double fallback)
{
    const char *text = std::getenv(name);
    return text && *text ? std::atof(text) : fallback;
}

#endif
