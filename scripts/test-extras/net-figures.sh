#!/usr/bin/env bash
# The network link's figures, in network namespaces of their own (as root):
# the latency from the sender's block write to the receiver's block write,
# median and p99 over 5,000 ticks, plain and secured; and the CPU of a
# publisher with the network on beside one with it off. Prints them; not
# pass/fail (only a run that cannot measure fails). Taken on whatever else
# the machine is doing at the time.
set -u
cd "$(dirname "$0")/../.."
program=build/native/tests/net_namespaces_test
if [ ! -x "$program" ]; then
  echo "net-figures: skipped (no $program: the build has no network link)"
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "net-figures: skipped (network namespaces need root)"
  exit 0
fi
output=$(TAVELIN_NET_FIGURES=1 TAVELIN_TEST_BINARY_DIR="$PWD/build/native" "$program" --gtest_filter='*Figures' 2>&1)
figures=$(grep -E '^net (latency|cpu)' <<<"$output")
if [ -z "$figures" ] || ! grep -q 'latency secured' <<<"$figures"; then
  echo "net-figures: no figures:"
  tail -20 <<<"$output"
  exit 1
fi
echo "$figures"
