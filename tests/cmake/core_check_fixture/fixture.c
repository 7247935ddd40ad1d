/* Never compiled: the fixture is only configured. */
