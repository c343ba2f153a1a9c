#!/usr/bin/env bash
# Starts (or stops) a Firebird server on loopback for the server-route tests.
# Not yet set up: no server, the server tests skip.
exit 1
