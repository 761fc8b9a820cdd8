// placeholder until the folder has its sources
