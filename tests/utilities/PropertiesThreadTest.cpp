#include <gtest/gtest.h>

#include <atomic>
#include <boost/make_shared.hpp>
#include <thread>
#include <vector>

#include "utilities/Properties.h"
#include "utilities/Property.h"

using namespace Korvane::DeviceDriver::OrbiZo::Utilities::Configuration;

// Tables come and go on several threads (as identification and download do) while lookups
// walk the registry and the "Global" table; run under ThreadSanitizer to see the locking.
TEST(PropertiesThreads, TablesComeAndGoWhileOthersLookUp) {
    Properties::global().set("threads.global", boost::make_shared<Property<unsigned int>>(7));
    Properties shared("shared");
    shared.set("threads.shared", boost::make_shared<Property<unsigned int>>(8));

    constexpr int kThreads = 4;
    constexpr int kRounds = 200;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &shared, &failures] {
            const std::string own = "threads.own" + std::to_string(t);
            for (int round = 0; round < kRounds; ++round) {
                auto table = boost::make_shared<Properties>(nullptr, "worker");
                table->set(own, boost::make_shared<Property<unsigned int>>(round));
                // Joins and leaves the long-lived group while other threads walk it.
                Properties sibling(&shared, "sibling");
                Properties::global().set(own, boost::make_shared<Property<unsigned int>>(t));
                if (table->getValue<unsigned int>(own) != static_cast<unsigned int>(round) ||
                    table->getValue<unsigned int>("threads.global") != 7u ||
                    sibling.getValue<unsigned int>("threads.shared") != 8u ||
                    shared.getValue<unsigned int>(own) != static_cast<unsigned int>(t)) {
                    ++failures;
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);

    Properties::global().set("threads.global", Properties::PropertyPtr());
    for (int t = 0; t < kThreads; ++t) {
        Properties::global().set("threads.own" + std::to_string(t), Properties::PropertyPtr());
    }
}
